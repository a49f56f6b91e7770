// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/ModbusFraming.h"

#include "comm/ModbusChecksum.h"

#include <algorithm>

namespace hz70 {
namespace {

constexpr std::size_t kRtuCheckBytes = 2;
// Address, function and check: nothing shorter can be a frame.
constexpr std::size_t kMinRtuLine = 4;
constexpr std::size_t kMinAsciiFrameBytes = 3; // address, function, LRC

bool HasByteCount(std::uint8_t function) {
    switch (function) {
    case 0x01:
    case 0x02:
    case kReadHoldingRegisters:
    case 0x04:
    case kReportSlaveId:
        return true;
    default:
        return false;
    }
}

bool HasFixedEightByteLine(std::uint8_t function) {
    switch (function) {
    case 0x05:
    case kWriteSingleRegister:
    case 0x0F:
    case 0x10:
        return true;
    default:
        return false;
    }
}

// A reply whose byte count disagrees with the data it carries is no reply. `frame` runs from the address
// to the last data byte.
bool ByteCountMatches(std::span<const std::uint8_t> frame) {
    if (frame[1] != kReadHoldingRegisters && frame[1] != kReportSlaveId) {
        return true;
    }
    return frame.size() >= 3 && frame.size() - 3 == frame[2];
}

bool FromAskedSlave(std::uint8_t address, std::uint8_t function, ReplyExpectation expected) {
    return address == expected.address &&
           (function == expected.function || function == (expected.function | kExceptionFlag));
}

bool AnswersRequest(std::span<const std::uint8_t> frame, ReplyExpectation expected) {
    return FromAskedSlave(frame[0], frame[1], expected) &&
           (frame[1] != kReadHoldingRegisters || expected.byteCount < 0 || frame[2] == expected.byteCount);
}

void NoteForeign(ReplySearch& search, std::size_t start, std::size_t end) {
    if (!search.foreign) {
        search.foreign = true;
        search.foreignStart = start;
        search.foreignEnd = end;
    }
}

enum class Candidate { Valid, BadCheck, Undecided, NotAFrame };

struct RtuCandidate {
    Candidate verdict = Candidate::NotAFrame;
    std::size_t lineLength = 0;
};

// The line length of a function whose reply length is unknown here: the first point where the CRC
// comes out 0.
RtuCandidate RtuFrameByCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = kCrc16Initial;
    const std::size_t limit = std::min(bytes.size(), kMaxFrameBytes + kRtuCheckBytes);
    for (std::size_t i = 0; i < limit; ++i) {
        crc = Crc16Update(crc, bytes[i]);
        if (crc == 0 && i + 1 >= kMinRtuLine) {
            return {Candidate::Valid, i + 1};
        }
    }
    return {limit < kMaxFrameBytes + kRtuCheckBytes ? Candidate::Undecided : Candidate::NotAFrame, 0};
}

RtuCandidate RtuCandidateAt(std::span<const std::uint8_t> bytes, bool firstOpen, ReplyExpectation expected) {
    if (bytes.size() < 2) {
        return {Candidate::Undecided, 0};
    }
    const std::uint8_t function = bytes[1];
    // Only the first open position may hold another valid frame (to be passed over whole); elsewhere only
    // the asked slave's frames count, so that noise before a reply is not mistaken for a frame.
    if (!firstOpen && !FromAskedSlave(bytes[0], function, expected)) {
        return {};
    }
    std::size_t lineLength = 0;
    if ((function & kExceptionFlag) != 0) {
        lineLength = 3 + kRtuCheckBytes;
    } else if (HasFixedEightByteLine(function)) {
        lineLength = 6 + kRtuCheckBytes;
    } else if (HasByteCount(function)) {
        if (bytes.size() < 3) {
            return {Candidate::Undecided, 0};
        }
        lineLength = 3 + std::size_t{bytes[2]} + kRtuCheckBytes;
        if (lineLength > kMaxFrameBytes + kRtuCheckBytes) {
            return {};
        }
    } else {
        return RtuFrameByCrc(bytes);
    }
    if (bytes.size() < lineLength) {
        return {Candidate::Undecided, 0};
    }
    if (Crc16(bytes.first(lineLength)) == 0) {
        return {Candidate::Valid, lineLength};
    }
    // A write of more than one register's worth of payload is answered with all of it.
    if (HasFixedEightByteLine(function)) {
        if (const RtuCandidate longer = RtuFrameByCrc(bytes);
            longer.verdict == Candidate::Valid && longer.lineLength > lineLength) {
            return longer;
        }
    }
    return {Candidate::BadCheck, lineLength};
}

ReplySearch FindRtuReply(std::span<const std::uint8_t> input, ReplyExpectation expected) {
    ReplySearch search;
    bool undecided = false; // a candidate before the current position may still become a frame
    for (std::size_t start = 0; start < input.size(); ++start) {
        const bool firstOpen = !undecided && start == search.settled;
        const RtuCandidate candidate = RtuCandidateAt(input.subspan(start), firstOpen, expected);
        switch (candidate.verdict) {
        case Candidate::Valid: {
            const std::size_t frameLength = candidate.lineLength - kRtuCheckBytes;
            const auto frame = input.subspan(start, frameLength);
            if (!ByteCountMatches(frame)) {
                break;
            }
            if (!AnswersRequest(frame, expected)) {
                if (firstOpen) {
                    NoteForeign(search, start, start + candidate.lineLength);
                    search.settled = start + candidate.lineLength;
                    start = search.settled - 1;
                    continue;
                }
                break;
            }
            search.found = true;
            search.frameStart = start;
            search.frameEnd = start + candidate.lineLength;
            std::copy(frame.begin(), frame.end(), search.frame.begin());
            search.frameLength = frameLength;
            return search;
        }
        case Candidate::Undecided:
            undecided = true;
            continue;
        case Candidate::BadCheck:
            search.badChecks += !undecided && input[start] == expected.address ? 1 : 0;
            break;
        case Candidate::NotAFrame:
            break;
        }
        if (!undecided) {
            search.settled = start + 1;
        }
    }
    return search;
}

ReplySearch FindAsciiReply(std::span<const std::uint8_t> input, ReplyExpectation expected) {
    ReplySearch search;
    std::size_t pos = 0;
    while (pos < input.size()) {
        const auto colon = std::find(input.begin() + static_cast<std::ptrdiff_t>(pos), input.end(), ':');
        if (colon == input.end()) {
            search.settled = input.size();
            return search;
        }
        const auto start = static_cast<std::size_t>(colon - input.begin());
        search.settled = start;
        std::size_t count = 0;
        std::size_t digits = 0;
        std::uint8_t sum = 0;
        int highNibble = 0;
        std::size_t next = start + 1;
        bool ended = false; // the frame ended here, as a reply or not
        for (; next < input.size() && !ended; ++next) {
            const std::uint8_t c = input[next];
            const int value = HexValue(c);
            if (c == '\r') {
                continue;
            }
            if (c == ':') {
                break; // a new frame begins here; this one is abandoned
            }
            if (value < 0 && c != '\n') {
                ended = true; // not a character of a frame
                continue;
            }
            if (c == '\n') {
                ended = true;
                const bool whole = digits % 2 == 0 && count >= kMinAsciiFrameBytes;
                if (!whole) {
                    continue;
                }
                const auto frame = std::span<const std::uint8_t>(search.frame).first(count - 1);
                if (sum != 0) {
                    search.badChecks += frame[0] == expected.address ? 1 : 0;
                    continue;
                }
                if (ByteCountMatches(frame) && !AnswersRequest(frame, expected)) {
                    NoteForeign(search, start, next + 1);
                } else if (ByteCountMatches(frame)) {
                    search.found = true;
                    search.frameStart = start;
                    search.frameEnd = next + 1;
                    search.frameLength = count - 1;
                    return search;
                }
                continue;
            }
            if (digits++ % 2 == 0) {
                highNibble = value;
            } else if (count < search.frame.size()) {
                const auto byte = static_cast<std::uint8_t>((highNibble << 4) | value);
                search.frame[count++] = byte;
                sum = static_cast<std::uint8_t>(sum + byte);
            } else {
                ended = true; // longer than any reply can be
            }
        }
        if (!ended && next >= input.size()) {
            return search; // waits at its ':' for the rest
        }
        pos = next;
        search.settled = ended ? next : pos;
    }
    search.settled = input.size();
    return search;
}

} // namespace

std::size_t LineLength(Framing framing, std::size_t frameBytes) {
    return framing == Framing::Rtu ? frameBytes + kRtuCheckBytes : 1 + 2 * (frameBytes + 1) + 2;
}

std::size_t EncodeFrame(Framing framing, std::span<const std::uint8_t> frame, std::span<std::uint8_t> line) {
    if (LineLength(framing, frame.size()) > line.size()) {
        return 0;
    }
    std::size_t n = 0;
    if (framing == Framing::Rtu) {
        n = static_cast<std::size_t>(std::copy(frame.begin(), frame.end(), line.begin()) - line.begin());
        const std::uint16_t crc = Crc16(frame);
        line[n++] = static_cast<std::uint8_t>(crc & 0xFF);
        line[n++] = static_cast<std::uint8_t>(crc >> 8);
        return n;
    }
    const auto putHex = [&](std::uint8_t byte) {
        line[n++] = static_cast<std::uint8_t>(HexDigit(byte >> 4));
        line[n++] = static_cast<std::uint8_t>(HexDigit(byte));
    };
    line[n++] = ':';
    for (const std::uint8_t byte : frame) {
        putHex(byte);
    }
    putHex(Lrc(frame));
    line[n++] = '\r';
    line[n++] = '\n';
    return n;
}

ReplySearch FindReply(Framing framing, std::span<const std::uint8_t> input, ReplyExpectation expected) {
    return framing == Framing::Rtu ? FindRtuReply(input, expected) : FindAsciiReply(input, expected);
}

std::optional<std::size_t> FindEcho(std::span<const std::uint8_t> input,
                                    std::span<const std::uint8_t> request, std::size_t maxLead) {
    for (std::size_t start = 0; start <= maxLead && start + request.size() <= input.size(); ++start) {
        if (std::equal(request.begin(), request.end(), input.begin() + static_cast<std::ptrdiff_t>(start))) {
            return start;
        }
    }
    return std::nullopt;
}

std::string ModbusExceptionText(int code) {
    static constexpr std::array<const char*, 12> kNames{"",
                                                        "illegal function",
                                                        "illegal data address",
                                                        "illegal data value",
                                                        "server device failure",
                                                        "acknowledge",
                                                        "server device busy",
                                                        "",
                                                        "memory parity error",
                                                        "",
                                                        "gateway path unavailable",
                                                        "gateway target device failed to respond"};
    const std::string number = std::to_string(code);
    if (code < 0 || code >= static_cast<int>(kNames.size()) ||
        *kNames[static_cast<std::size_t>(code)] == '\0') {
        return number;
    }
    return number + " (" + kNames[static_cast<std::size_t>(code)] + ")";
}

} // namespace hz70
