// SPDX-License-Identifier: GPL-3.0-or-later
#include "ZoneCommands.h"

#include "LinkCommands.h"
#include "app/DeviceList.h"
#include "app/PollCsv.h"
#include "app/PollCycle.h"
#include "app/PortReconnect.h"
#include "app/SettingsFile.h"

#include <ostream>
#include <unistd.h>

namespace hz70::cli {
namespace {

constexpr std::uint32_t kTickMs = 100;

// A headless operator: keeps polling a zone that stopped answering, and says so.
class KeepMonitoring final : public MonitoringQuestion {
public:
    explicit KeepMonitoring(std::ostream& err) : err_(err) {}
    bool AskStopMonitoring(const TRegulator& zone) override {
        err_ << "hz70cli: zone " << zone.zoneNumber << " (" << zone.name << ", address " << zone.address
             << ") stopped answering; polling it on\n";
        return false;
    }

private:
    std::ostream& err_;
};

// Remembers the zone each tick handed on.
class LastNotified final : public ZoneViews {
public:
    void NotifyViews(TRegulator& zone) override { zone_ = &zone; }
    [[nodiscard]] const TRegulator* zone() const { return zone_; }

private:
    const TRegulator* zone_ = nullptr;
};

// The zones to poll: the addresses on the command line, else those of the settings file.
std::optional<ZoneList> ZonesToPoll(const CliOptions& options, const ProgramSettings& fileSettings,
                                    std::ostream& err) {
    if (options.arguments.empty()) {
        return fileSettings.zones;
    }
    if (options.arguments.size() > kZoneSlots) {
        err << "poll takes at most " << kZoneSlots << " addresses\n";
        return std::nullopt;
    }
    ZoneList zones;
    zones.DevAddr.fill(0);
    zones.DevCount = static_cast<int>(options.arguments.size());
    for (std::size_t i = 0; i < options.arguments.size(); ++i) {
        const auto address = ParseBoundedNumber(options.arguments[i], 1, 247);
        if (!address) {
            err << "not an address (1..247): " << options.arguments[i] << "\n";
            return std::nullopt;
        }
        zones.DevAddr[i] = static_cast<int>(*address);
    }
    return zones;
}

// Link settings from the settings file when one is named; errors are reported.
bool ApplySettingsFile(TTrans& trans, const CliOptions& options, ProgramSettings& settings,
                       std::ostream& err) {
    if (!options.settingsDirectory) {
        return true;
    }
    const SettingsLoad load = LoadSettingsFile(*options.settingsDirectory);
    if (load.error) {
        err << "hz70cli: cannot read the settings file in " << *options.settingsDirectory << ": "
            << load.error.message() << "\n";
        return false;
    }
    settings = load.settings;
    TTransSettings link = settings.link;
    if (options.portGiven) {
        link.COM = options.settings.COM; // --port decides the device
    }
    trans.SetSettings(link);
    return true;
}

// Says on standard error when the port's device went away and when the port is open again.
void ReportReconnect(ReconnectState before, const PortReconnect& reconnect, std::ostream& err) {
    if (reconnect.state() == before) {
        return;
    }
    if (reconnect.state() == ReconnectState::Waiting && before != ReconnectState::Waiting) {
        err << "hz70cli: waiting for the device"
            << (reconnect.awaitedDevice().empty() ? "" : " " + reconnect.awaitedDevice())
            << "; trying to open it every " << PortReconnect::kRetryInterval / 1000 << " s\n";
    } else if (reconnect.state() == ReconnectState::Reopened) {
        err << "hz70cli: the port is open again\n";
    }
}

} // namespace

int RunPoll(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
            const std::atomic<bool>& stop, std::ostream& out, std::ostream& err) {
    ProgramSettings settings;
    if (!ApplySettingsFile(trans, options, settings, err)) {
        return kExitFailed;
    }
    const auto zones = ZonesToPoll(options, settings, err);
    if (!zones) {
        return kExitUsage;
    }
    settings.zones = *zones;
    DeviceList devices;
    PollingState polling;
    RebuildDeviceList(devices, settings.zones, trans, polling);
    if (devices.empty()) {
        err << "hz70cli: no zones to poll\n";
        return kExitUsage;
    }

    KeepMonitoring question(err);
    LastNotified views;
    PortReconnect reconnect(trans, port, clock);
    PollCycle cycle(devices, settings.zones, trans, polling, question, views, &reconnect);
    out << kPollCsvHeader << "\n" << std::flush;
    const std::uint32_t start = clock.GetTickCount();
    const std::uint32_t limit = options.seconds ? static_cast<std::uint32_t>(*options.seconds) * 1000u : 0u;
    std::uint32_t nextTick = start;
    while (!stop && (limit == 0 || clock.GetTickCount() - start < limit)) {
        const ReconnectState before = reconnect.state();
        reconnect.Tick();
        ReportReconnect(before, reconnect, err);
        cycle.Tick();
        const int result = cycle.lastTickResult();
        if ((result == kPollUpdated || result == kPollFailed) && views.zone() != nullptr) {
            out << FormatPollLine(LocalTimestamp(), *views.zone()) << "\n" << std::flush;
        }
        nextTick += kTickMs;
        const std::uint32_t now = clock.GetTickCount();
        if (static_cast<std::int32_t>(nextTick - now) > 0) {
            clock.Sleep(nextTick - now);
        } else {
            nextTick = now; // a blocking start-up or a slow tick: carry on from now
        }
    }
    trans.Close();
    return kExitOk;
}

int RunScan(TTrans& trans, const CliOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err) {
    ProgramSettings settings;
    if (!ApplySettingsFile(trans, options, settings, err)) {
        return kExitFailed;
    }
    if (options.firstAddress > options.lastAddress) {
        err << "hz70cli: --first is above --last\n";
        return kExitUsage;
    }
    const bool terminal = isatty(STDERR_FILENO) != 0;
    TRegulator probe;
    InitRegulator(probe);
    int found = 0;
    const int total = options.lastAddress - options.firstAddress + 1;
    for (int address = options.firstAddress; address <= options.lastAddress && !stop; ++address) {
        if (terminal) {
            err << "\rscanning address " << address << " (" << address - options.firstAddress + 1 << " of "
                << total << "), " << found << " found" << std::flush;
        }
        probe.address = static_cast<std::int16_t>(address);
        const int result = Identify(probe, trans);
        if (result == kPortNotOpen) {
            err << (terminal ? "\n" : "") << "hz70cli: the port is not open\n";
            return kExitFailed;
        }
        if (result != 0) {
            continue;
        }
        if (probe.deviceId == kHz70SlaveId) {
            ++found;
            if (terminal) {
                err << "\n";
            }
            out << "address " << address << ": HZ70 (slave id " << probe.deviceId << ")\n" << std::flush;
        } else {
            err << (terminal ? "\n" : "") << "address " << address << ": slave id " << probe.deviceId
                << ", not an HZ70\n";
        }
    }
    if (terminal) {
        err << "\n";
    }
    err << "scan: " << found << " HZ70 found" << (stop ? " (interrupted)" : "") << "\n";
    trans.Close();
    return found > 0 ? kExitOk : kExitFailed;
}

} // namespace hz70::cli
