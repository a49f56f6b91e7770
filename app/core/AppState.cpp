// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AppState.h"

#include "comm/LinkNames.h"

#include <utility>

namespace hz70 {

AppState::AppState(SerialPort& port, Clock& clock, std::filesystem::path settingsDirectory)
    : trans(port, clock), reconnect(trans, port, clock), settingsDirectory_(std::move(settingsDirectory)) {}

std::error_code AppState::LoadSettings() {
    SettingsLoad load = LoadSettingsFile(settingsDirectory_);
    settings = std::move(load.settings);
    (void)trans.SetSettings(settings.link);
    keepUnreadFile_ = static_cast<bool>(load.error);
    return load.error;
}

std::error_code AppState::SaveSettings() {
    trans.GetSettings(settings.link);
    const std::error_code error = SaveSettingsFile(settingsDirectory_, settings);
    if (!error) {
        SettingsChanged = false;
        keepUnreadFile_ = false;
    }
    return error;
}

void AppState::RebuildDeviceList(const AttachProgress& beforeAttach) {
    hz70::RebuildDeviceList(devices, settings.zones, trans, polling, beforeAttach);
    for (const auto& device : devices) {
        if (device->record.identified != 0) {
            TellSettingsRead(device->record);
        }
    }
    if (cycle_) {
        cycle_->Restart();
    }
}

void AppState::StartPolling(MonitoringQuestion& question) {
    cycle_ = std::make_unique<PollCycle>(devices, settings.zones, trans, polling, question, &reconnect);
}

TRegulator* AppState::zone(int index) {
    if (index < 0 || index >= zoneCount() || !devices[static_cast<std::size_t>(index)]) {
        return nullptr;
    }
    return &devices[static_cast<std::size_t>(index)]->record;
}

std::string AppState::DescribeLink() const {
    TTransSettings link;
    trans.GetSettings(link);
    return DescribeLinkSettings("COM" + std::to_string(link.COM + 1), link);
}

ReadOutcome AppState::ReadZoneSettings(TRegulator& zone) {
    const ReadOutcome outcome = ReadSettings(zone, trans, polling, kFirstSettingRegister, kSettingsBlock);
    if (outcome == ReadOutcome::kRead) {
        TellSettingsRead(zone);
    }
    return outcome;
}

void AppState::TellSettingsRead(const TRegulator& zone) const {
    if (onSettingsRead) {
        onSettingsRead(zone);
    }
}

ExchangeResult AppState::WriteZoneSetting(TRegulator& zone, std::uint16_t reg, std::uint16_t value) {
    return WriteSetting(zone, trans, reg, value);
}

PollTickResult AppState::PollTick() {
    // Before the cycle, so that a port the operator closed is seen closed before an exchange opens it.
    if (polling.PollingEnabled) {
        reconnect.Tick();
    }
    return cycle_ ? cycle_->Poll() : PollTickResult{};
}

void AppState::AskWaitingQuestions() {
    if (cycle_) {
        cycle_->AskWaitingQuestions();
    }
}

} // namespace hz70
