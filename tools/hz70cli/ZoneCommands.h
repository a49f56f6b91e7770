// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DeviceList.h"
#include "comm/Clock.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/Interruption.h"
#include "model/PollTickResult.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <iosfwd>
#include <string>

namespace hz70::cli {

// What a polling command does with the zones it polls.
class PollConsumer {
public:
    virtual ~PollConsumer() = default;
    // The zones are attached (each HZ70's settings read) and the first tick is next.
    virtual void Started() = 0;
    virtual void Consume(const PollTickResult& tick) = 0;
};

// The poll's CSV on `out`: the header once the zones are attached, then a line per ended exchange.
class PollCsvWriter final : public PollConsumer {
public:
    explicit PollCsvWriter(std::ostream& out) : out_(out) {}
    void Started() override;
    void Consume(const PollTickResult& tick) override;

private:
    std::ostream& out_;
};

// The zone records and poll flags of a poll loop. A consumer that also talks on the line, between the
// loop's exchanges, works on the same ones.
struct PollLine {
    DeviceList devices;
    PollingState polling;
};

// The poll loop of poll and gateway: attaches the zones into `line`, then ticks as the program does,
// every 100 ms, handing every tick to `consumer`, until `stop` is reached (see RunPoll). Returns
// kExitUsage when there is no zone, kExitFailed when none answered, otherwise kExitOk.
int RunPolling(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
               const ZoneList& listedZones, StopCondition& stop, PollLine& line, PollConsumer& consumer,
               std::ostream& err);

// Polls the zones as the program does, a tick every 100 ms, until `stop` is reached; options.seconds
// sets its deadline, which the start's blocking exchanges keep as well. Polls the addresses given, else
// `listedZones` (those of the settings file). Like the program, it reopens `port` by itself when its
// device goes away and comes back. Fails when no zone answered at all.
int RunPoll(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
            const ZoneList& listedZones, StopCondition& stop, std::ostream& out, std::ostream& err);

// Asks every address of the range for its slave id and lists the HZ70 controllers; the last line says
// how many addresses were asked and how long that took.
int RunScan(TTrans& trans, Clock& clock, const CliOptions& options, StopCondition& stop, std::ostream& out,
            std::ostream& err);

} // namespace hz70::cli
