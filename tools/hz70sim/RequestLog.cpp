// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/RequestLog.h"

#include "hz70sim/ModbusSlave.h"

namespace hz70::sim {

namespace {

std::string Field(std::span<const std::uint8_t> frame, std::size_t offset, bool isWord) {
    const std::size_t size = isWord ? 2 : 1;
    if (frame.size() < offset + size) {
        return "-";
    }
    const unsigned value = isWord ? unsigned{frame[offset]} << 8 | frame[offset + 1] : frame[offset];
    return std::to_string(value);
}

// Functions whose requests carry a register and a count or value after the function code.
bool CarriesRegister(std::span<const std::uint8_t> frame) {
    return frame.size() >= 2 && frame[1] >= 1 && frame[1] <= 6;
}

} // namespace

std::string FormatLogLine(Micros now, std::span<const std::uint8_t> frame, std::string_view answer) {
    const bool withRegister = CarriesRegister(frame);
    std::string line = std::to_string(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
    line += ' ' + Field(frame, 0, false);
    line += ' ' + Field(frame, 1, false);
    line += ' ' + (withRegister ? Field(frame, 2, true) : "-");
    line += ' ' + (withRegister ? Field(frame, 4, true) : "-");
    line += ' ';
    line += answer;
    return line;
}

std::string DescribeReply(std::span<const std::uint8_t> replyPdu) {
    if (replyPdu.size() >= 2 && (replyPdu[0] & kExceptionFlag) != 0) {
        return "exception" + std::to_string(replyPdu[1]);
    }
    return "ok";
}

} // namespace hz70::sim
