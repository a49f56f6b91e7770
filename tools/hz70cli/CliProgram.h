// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70cli/Interruption.h"

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace hz70::cli {

// What a shell reports for a process that a signal ended.
inline constexpr int kExitSignalBase = 128;

// hz70cli as a whole: parses `args` (without the program name), takes the link from the command line and
// the settings folder, says where the port name leads, runs the command until it ends or `stop` is set,
// which ends any wait of the link within kStopLatency. Every error goes to `err` once, naming the thing
// and the reason. Returns the process exit status: 128 plus the signal's number when one stopped it (but 0
// for a gateway that SIGTERM stopped).
int RunCli(const std::vector<std::string>& args, std::string_view version, const StopSignal& stop,
           std::ostream& out, std::ostream& err);

} // namespace hz70::cli
