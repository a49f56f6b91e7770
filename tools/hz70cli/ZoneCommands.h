// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/Interruption.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <iosfwd>
#include <string>

namespace hz70::cli {

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
