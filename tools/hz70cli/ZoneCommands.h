// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "comm/Clock.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <atomic>
#include <iosfwd>
#include <string>

namespace hz70::cli {

// Polls the zones every 100 ms until `stop` is set or options.seconds have passed: the addresses given,
// else `listedZones` (those of the settings file). Like the program, it reopens `port` by itself when its
// device goes away and comes back. Fails when no zone answered at all.
int RunPoll(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
            const ZoneList& listedZones, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err);

// Asks every address of the range for its slave id and lists the HZ70 controllers; the last line says
// how many addresses were asked and how long that took.
int RunScan(TTrans& trans, Clock& clock, const CliOptions& options, const std::atomic<bool>& stop,
            std::ostream& out, std::ostream& err);

} // namespace hz70::cli
