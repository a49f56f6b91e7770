// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace hz70::sim {

// One line of the request log, fields separated by single spaces:
//   <monotonic ms> <address> <function> <register> <count or value> <answer>
// Numbers in decimal; "-" where a field does not apply or could not be read. `frame` is address,
// function and data as received.
[[nodiscard]] std::string FormatLogLine(Micros now, std::span<const std::uint8_t> frame,
                                        std::string_view answer);

// "ok" for a normal reply PDU, "exception<code>" for an exception reply.
[[nodiscard]] std::string DescribeReply(std::span<const std::uint8_t> replyPdu);

} // namespace hz70::sim
