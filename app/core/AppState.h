// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DeviceList.h"
#include "app/core/PollCycle.h"
#include "app/core/PortReconnect.h"
#include "app/core/SettingsFile.h"
#include "comm/Trans.h"
#include "model/PollingState.h"
#include "model/ZoneOperations.h"

#include <filesystem>
#include <functional>
#include <memory>
#include <system_error>

namespace hz70 {

// What the main window owns and its dialogs read or change: the link, the settings the file stores, the
// records of the configured zones, the poll cycle over them and the program's flags. The windows reach
// it only through its zone operations.
class AppState final : public ZoneOperations {
public:
    AppState(SerialPort& port, Clock& clock, std::filesystem::path settingsDirectory);

    // Reads the settings file over the defaults and hands the link its settings (the port stays
    // closed). The error is set when a file exists but could not be read whole; what could be read is
    // used over the defaults, and only an explicit save may then replace the file.
    std::error_code LoadSettings();
    // Writes the settings file and clears SettingsChanged; on failure SettingsChanged is left alone.
    std::error_code SaveSettings();
    // Whether the program's end should write the file: something changed, and the file is not one
    // that could not be read at start and has not been saved since.
    [[nodiscard]] bool SaveDueAtExit() const { return SettingsChanged && !keepUnreadFile_; }

    // Rebuilds one attached record per configured zone (blocking) and starts polling at the first zone.
    void RebuildDeviceList(const AttachProgress& beforeAttach = {});
    // Creates the poll cycle; the main window gives it the operator question.
    void StartPolling(MonitoringQuestion& question);
    // One tick of the poll timer: reopens a lost or missing port when that is due, then polls; what the
    // poll did. The operator's questions wait for AskWaitingQuestions.
    [[nodiscard]] PollTickResult PollTick();
    // Asks the questions the poll ticks left waiting; ticks go on while one is open.
    void AskWaitingQuestions();
    [[nodiscard]] bool questionDue() const { return cycle_ && cycle_->questionDue(); }
    // The slot the next poll tick works on.
    [[nodiscard]] int pollIndex() const { return cycle_ ? cycle_->pollIndex() : 0; }

    [[nodiscard]] const ZoneList& zoneList() const override { return settings.zones; }
    [[nodiscard]] int zoneCount() const override { return static_cast<int>(devices.size()); }
    [[nodiscard]] TRegulator* zone(int index) override;
    [[nodiscard]] std::string DescribeLink() const override;
    [[nodiscard]] ReadOutcome ReadZoneSettings(TRegulator& zone) override;
    [[nodiscard]] ExchangeResult WriteZoneSetting(TRegulator& zone, std::uint16_t reg,
                                                  std::uint16_t value) override;
    [[nodiscard]] ChartSettings& chartSettings() override { return settings.chart; }
    void MarkSettingsChanged() override { SettingsChanged = true; }

    [[nodiscard]] const std::filesystem::path& settingsDirectory() const { return settingsDirectory_; }

    // Told of each zone whose settings were just read from its controller: every recognised zone when
    // the list is built, and each read the windows ask for.
    std::function<void(const TRegulator&)> onSettingsRead;

    TTrans trans;
    PortReconnect reconnect;
    ProgramSettings settings;
    DeviceList devices;
    PollingState polling;
    bool SettingsChanged = false;

private:
    void TellSettingsRead(const TRegulator& zone) const;

    std::filesystem::path settingsDirectory_;
    bool keepUnreadFile_ = false;
    std::unique_ptr<PollCycle> cycle_;
};

} // namespace hz70
