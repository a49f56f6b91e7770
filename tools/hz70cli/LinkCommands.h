// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "CliOptions.h"
#include "comm/Trans.h"

#include <iosfwd>
#include <string>

namespace hz70::cli {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// A short English text for an exchange result code.
[[nodiscard]] std::string DescribeResult(int code);

// Each runs one command on the link and prints its outcome; the result is the process exit status.
int RunIdentify(TTrans& trans, const CliOptions& options, std::ostream& out);
int RunRead(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err);
int RunWrite(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err);

// Dispatches on options.command.
int RunLinkCommand(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err);

} // namespace hz70::cli
