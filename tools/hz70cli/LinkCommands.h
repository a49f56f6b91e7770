// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/Interruption.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>

namespace hz70::cli {

enum ExitStatus : int { kExitOk = 0, kExitFailed = 1, kExitUsage = 2 };

// A short English text for an exchange's result.
[[nodiscard]] std::string DescribeResult(ExchangeResult result);

// "exception 2 (illegal data address)"; codes without a standard meaning as "exception 9".
[[nodiscard]] std::string DescribeException(int code);

// One register of a read: the register, the word unsigned, signed and in hex, then for a register of the
// HZ70's map its mnemonic and, unless it is a bit word, its scaled value and unit. The temperature unit
// comes from the status word when the same read brought it (`fahrenheit`), else it shows as "°C/°F".
[[nodiscard]] std::string FormatRegisterLine(std::uint16_t reg, std::uint16_t word,
                                             std::optional<bool> fahrenheit);

// Runs options.command on the link and prints its outcome; the result is the process exit status. An
// exchange that `stop` cut short has no outcome to print.
int RunLinkCommand(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out,
                   std::ostream& err);

} // namespace hz70::cli
