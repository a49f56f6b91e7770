// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/ZoneCommands.h"

#include "app/core/DeviceList.h"
#include "app/core/PollCsv.h"
#include "app/core/PollCycle.h"
#include "app/core/PortReconnect.h"
#include "hz70cli/LinkCommands.h"

#include <algorithm>
#include <ostream>
#include <string>
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

// The zones to poll: the addresses on the command line (checked when parsed), else the listed ones.
ZoneList ZonesToPoll(const CliOptions& options, const ZoneList& listedZones) {
    if (options.arguments.empty()) {
        return listedZones;
    }
    ZoneList zones;
    zones.DevAddr.fill(0);
    zones.DevCount = static_cast<int>(std::min<std::size_t>(options.arguments.size(), kZoneSlots));
    for (int slot = 0; slot < zones.DevCount; ++slot) {
        const auto address = ParseBoundedNumber(options.arguments[static_cast<std::size_t>(slot)], 1, 247);
        zones.DevAddr[static_cast<std::size_t>(slot)] = static_cast<int>(address.value_or(0));
    }
    return zones;
}

// "12.3 s", or minutes and seconds from a minute up.
std::string Duration(std::uint32_t ms) {
    const std::uint32_t tenths = (ms + 50) / 100;
    if (tenths < 600) {
        return std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + " s";
    }
    const std::uint32_t seconds = tenths / 10;
    return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
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

void PollCsvWriter::Started() {
    out_ << kPollCsvHeader << "\n" << std::flush;
}

void PollCsvWriter::Consume(const PollTickResult& tick) {
    if (tick.exchangeEnded()) {
        out_ << FormatPollLine(LocalTimestamp(), *tick.record) << "\n" << std::flush;
    }
}

int RunPolling(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
               const ZoneList& listedZones, StopCondition& stop, PollLine& line, PollConsumer& consumer,
               std::ostream& err) {
    const std::uint32_t start = clock.GetTickCount();
    if (options.seconds) {
        stop.SetDeadlineIn(static_cast<std::uint32_t>(*options.seconds) * 1000u);
    }
    ZoneList zones = ZonesToPoll(options, listedZones);
    DeviceList& devices = line.devices;
    PollingState& polling = line.polling;
    RebuildDeviceList(devices, zones, trans, polling);
    if (devices.empty()) {
        err << "hz70cli: no zones to poll: give their addresses, or a settings file that lists some\n";
        return kExitUsage;
    }

    KeepMonitoring question(err);
    PortReconnect reconnect(trans, port, clock);
    PollCycle cycle(devices, zones, trans, polling, question, &reconnect);
    consumer.Started();
    std::uint32_t nextTick = clock.GetTickCount();
    bool anyAnswered = false;
    while (!stop.Reached()) {
        const ReconnectState before = reconnect.state();
        reconnect.Tick();
        ReportReconnect(before, reconnect, err);
        const PollTickResult tick = cycle.Tick();
        anyAnswered = anyAnswered || tick.outcome == PollOutcome::kUpdated;
        consumer.Consume(tick);
        nextTick += kTickMs;
        const std::uint32_t now = clock.GetTickCount();
        if (static_cast<std::int32_t>(nextTick - now) > 0) {
            clock.Sleep(nextTick - now);
        } else {
            nextTick = now; // a blocking start-up or a slow tick: carry on from now
        }
    }
    trans.Close();
    if (!anyAnswered && stop.signal() == 0) {
        err << "hz70cli: no zone answered in " << Duration(clock.GetTickCount() - start) << "\n";
        return kExitFailed;
    }
    return kExitOk;
}

int RunPoll(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
            const ZoneList& listedZones, StopCondition& stop, std::ostream& out, std::ostream& err) {
    PollCsvWriter csv(out);
    PollLine line;
    return RunPolling(trans, port, clock, options, listedZones, stop, line, csv, err);
}

int RunScan(TTrans& trans, Clock& clock, const CliOptions& options, StopCondition& stop, std::ostream& out,
            std::ostream& err) {
    const std::uint32_t start = clock.GetTickCount();
    const bool terminal = isatty(STDERR_FILENO) != 0;
    TRegulator probe;
    InitRegulator(probe);
    int found = 0;
    int asked = 0;
    const int total = options.lastAddress - options.firstAddress + 1;
    for (int address = options.firstAddress; address <= options.lastAddress && !stop.Reached(); ++address) {
        if (terminal) {
            err << "\rscanning address " << address << " (" << address - options.firstAddress + 1 << " of "
                << total << "), " << found << " found" << std::flush;
        }
        probe.address = static_cast<std::int16_t>(address);
        ++asked;
        const ExchangeResult result = Identify(probe, trans);
        if (result == ExchangeResult::kPortNotOpen) {
            err << (terminal ? "\n" : ""); // why is said once, by the caller
            return kExitFailed;
        }
        if (result != ExchangeResult::kSlaveIdOk) {
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
    err << "scan: " << found << " HZ70 found; asked " << asked
        << (asked < total ? " of " + std::to_string(total) : "") << " addresses (" << options.firstAddress
        << ".." << options.lastAddress << ") in " << Duration(clock.GetTickCount() - start)
        << (stop.signal() != 0 ? ", interrupted" : "") << "\n";
    trans.Close();
    return found > 0 ? kExitOk : kExitFailed;
}

} // namespace hz70::cli
