// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/WireTrace.h"

#include <cstdio>
#include <ostream>

namespace hz70::cli {
namespace {

// Wide enough for "skipped 250 bytes", so the bytes start in one column.
constexpr std::size_t kEventColumn = 18;

std::string Hex(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02X", byte);
        if (!text.empty()) {
            text += ' ';
        }
        text += digits;
    }
    return text;
}

// An ASCII line as the wire carried it, in quotes; CR, LF and anything unprintable escaped.
std::string QuotedText(std::span<const std::uint8_t> bytes) {
    std::string text = "\"";
    for (const std::uint8_t byte : bytes) {
        if (byte == '\r') {
            text += "\\r";
        } else if (byte == '\n') {
            text += "\\n";
        } else if (byte == '"' || byte == '\\') {
            text += '\\';
            text += static_cast<char>(byte);
        } else if (byte >= 0x20 && byte < 0x7F) {
            text += static_cast<char>(byte);
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text + "\"";
}

std::string EventName(const LinkTraceEntry& entry) {
    switch (entry.event) {
    case LinkEvent::Sent:
        return "sent";
    case LinkEvent::Received:
        return "received";
    case LinkEvent::ReplyAccepted:
        return "reply ok";
    case LinkEvent::EchoDropped:
        return "echo dropped";
    case LinkEvent::BytesSkipped:
        return "skipped " + std::to_string(entry.bytes.size()) +
               (entry.bytes.size() == 1 ? " byte" : " bytes");
    case LinkEvent::BadCheck:
        return "bad check";
    case LinkEvent::NotOurReply:
        return "not our reply";
    case LinkEvent::TimedOut:
        return "time-out";
    case LinkEvent::InputNeverEnds:
        return "input never ends";
    }
    return "event " + std::to_string(static_cast<int>(entry.event));
}

// An accepted reply is decoded (binary in both framings); everything else is wire bytes.
bool IsDecodedFrame(LinkEvent event) {
    return event == LinkEvent::ReplyAccepted;
}

} // namespace

std::string FormatTraceLine(std::uint32_t elapsedMs, const LinkTraceEntry& entry) {
    char time[24];
    std::snprintf(time, sizeof time, "%5u.%03u ", static_cast<unsigned>(elapsedMs / 1000),
                  static_cast<unsigned>(elapsedMs % 1000));
    const std::string event = EventName(entry);
    if (entry.bytes.empty()) {
        return time + event;
    }
    const std::size_t padding = event.size() < kEventColumn ? kEventColumn - event.size() : 1;
    const std::string shown =
        entry.ascii && !IsDecodedFrame(entry.event) ? QuotedText(entry.bytes) : Hex(entry.bytes);
    return time + event + std::string(padding, ' ') + shown;
}

WireTrace::WireTrace(Clock& clock, std::ostream& out)
    : clock_(clock), out_(out), start_(clock.GetTickCount()) {}

void WireTrace::Record(const LinkTraceEntry& entry) {
    out_ << FormatTraceLine(clock_.GetTickCount() - start_, entry) << '\n' << std::flush;
}

} // namespace hz70::cli
