// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <atomic>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace hz70::cli {

// hz70cli as a whole: parses `args` (without the program name), takes the link from the command line and
// the settings folder, says where the port name leads, runs the command until it ends or `stop` is set.
// Every error goes to `err` once, naming the thing and the reason. Returns the process exit status.
int RunCli(const std::vector<std::string>& args, std::string_view version, const std::atomic<bool>& stop,
           std::ostream& out, std::ostream& err);

} // namespace hz70::cli
