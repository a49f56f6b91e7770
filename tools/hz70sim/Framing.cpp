// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Framing.h"

#include "comm/ModbusChecksum.h"

namespace hz70::sim {

namespace {

// ':' + 255 pairs + LRC pair + CR LF: nothing longer is a Modbus ASCII frame.
constexpr std::size_t kMaxAsciiCharacters = 2 * 256 + 2;
constexpr std::size_t kMaxRtuBytes = 256;
constexpr std::size_t kMinRtuFrame = 4; // address, function, CRC

// Decodes hexadecimal pairs until the first bad character; `ok` tells whether all were good.
std::vector<std::uint8_t> DecodeHexPairs(std::span<const std::uint8_t> characters, bool& ok) {
    std::vector<std::uint8_t> bytes;
    ok = characters.size() % 2 == 0;
    for (std::size_t i = 0; i + 1 < characters.size(); i += 2) {
        const int high = HexValue(characters[i]);
        const int low = HexValue(characters[i + 1]);
        if (high < 0 || low < 0) {
            ok = false;
            break;
        }
        bytes.push_back(static_cast<std::uint8_t>(high << 4 | low));
    }
    return bytes;
}

} // namespace

void AsciiReceiver::receive(Micros, std::span<const std::uint8_t> bytes, std::vector<InboundFrame>& frames) {
    for (const std::uint8_t byte : bytes) {
        if (byte == ':') {
            characters_.clear();
            inFrame_ = true;
            continue;
        }
        if (!inFrame_) {
            continue;
        }
        if (byte == '\n') {
            finish(frames);
            continue;
        }
        if (characters_.size() >= kMaxAsciiCharacters) {
            // Too long to be a frame: forget it and wait for the next ':'.
            characters_.clear();
            inFrame_ = false;
            continue;
        }
        characters_.push_back(byte);
    }
}

void AsciiReceiver::finish(std::vector<InboundFrame>& frames) {
    inFrame_ = false;
    InboundFrame frame;
    const bool endsWithCr = !characters_.empty() && characters_.back() == '\r';
    if (endsWithCr) {
        characters_.pop_back();
    }
    bool hexOk = false;
    frame.bytes = DecodeHexPairs(characters_, hexOk);
    characters_.clear();
    const bool longEnough = frame.bytes.size() >= 3; // address, function, LRC
    frame.checkOk = endsWithCr && hexOk && longEnough &&
                    Lrc(std::span(frame.bytes).first(frame.bytes.size() - 1)) == frame.bytes.back();
    if (frame.checkOk || (hexOk && longEnough)) {
        frame.bytes.pop_back(); // the LRC
    }
    frames.push_back(std::move(frame));
}

RtuReceiver::RtuReceiver(Micros silence) : silence_(silence) {}

void RtuReceiver::receive(Micros now, std::span<const std::uint8_t> bytes,
                          std::vector<InboundFrame>& frames) {
    if (bytes.empty()) {
        return;
    }
    expire(now, frames);
    lastByteAt_ = now;
    for (const std::uint8_t byte : bytes) {
        if (buffer_.size() < kMaxRtuBytes) {
            buffer_.push_back(byte);
        } else {
            waitForSilence_ = true; // garbage: drop the excess, the frame is lost anyway
        }
    }
    takeCompleteRequests(frames);
}

void RtuReceiver::expire(Micros now, std::vector<InboundFrame>& frames) {
    if (!buffer_.empty() && now - lastByteAt_ >= silence_) {
        endBySilence(frames);
    }
}

std::optional<Micros> RtuReceiver::deadline() const {
    if (buffer_.empty()) {
        return std::nullopt;
    }
    return lastByteAt_ + silence_;
}

void RtuReceiver::takeCompleteRequests(std::vector<InboundFrame>& frames) {
    while (!waitForSilence_ && !buffer_.empty()) {
        const std::optional<std::size_t> length = RequestLength(buffer_);
        if (!length || buffer_.size() < *length) {
            return;
        }
        if (Crc16(std::span(buffer_).first(*length)) != 0) {
            waitForSilence_ = true;
            return;
        }
        frames.push_back(
            InboundFrame{{buffer_.begin(), buffer_.begin() + static_cast<long>(*length) - 2}, true});
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<long>(*length));
    }
}

void RtuReceiver::endBySilence(std::vector<InboundFrame>& frames) {
    InboundFrame frame;
    frame.checkOk = !waitForSilence_ && buffer_.size() >= kMinRtuFrame && Crc16(buffer_) == 0;
    frame.bytes = std::move(buffer_);
    if (frame.checkOk) {
        frame.bytes.resize(frame.bytes.size() - 2);
    }
    frames.push_back(std::move(frame));
    buffer_.clear();
    waitForSilence_ = false;
}

std::optional<std::size_t> RequestLength(std::span<const std::uint8_t> head) {
    if (head.size() < 2) {
        return std::nullopt;
    }
    switch (head[1]) {
    case 1: // read coils, inputs, holding and input registers; write single coil and register
    case 2:
    case 3:
    case 4:
    case 5:
    case 6:
    case 8: // diagnostics
        return 8;
    case 7: // exception status, event counter, event log, report slave id
    case 11:
    case 12:
    case 17:
        return 4;
    case 15: // write multiple coils and registers: byte count at offset 6
    case 16:
        if (head.size() < 7) {
            return std::nullopt;
        }
        return 9 + std::size_t{head[6]};
    case 22: // mask write register
        return 10;
    case 23: // read/write multiple registers: byte count at offset 10
        if (head.size() < 11) {
            return std::nullopt;
        }
        return 13 + std::size_t{head[10]};
    default:
        return std::nullopt;
    }
}

std::unique_ptr<FrameReceiver> MakeReceiver(const LineMode& mode, int baud) {
    if (mode.ascii) {
        return std::make_unique<AsciiReceiver>();
    }
    return std::make_unique<RtuReceiver>(FrameSilence(mode, baud));
}

std::vector<std::uint8_t> EncodeRtu(std::span<const std::uint8_t> addressAndPdu) {
    std::vector<std::uint8_t> frame(addressAndPdu.begin(), addressAndPdu.end());
    const std::uint16_t crc = Crc16(addressAndPdu);
    frame.push_back(static_cast<std::uint8_t>(crc & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(crc >> 8));
    return frame;
}

std::vector<std::uint8_t> EncodeAscii(std::span<const std::uint8_t> addressAndPdu) {
    std::vector<std::uint8_t> frame{':'};
    auto putByte = [&frame](std::uint8_t byte) {
        frame.push_back(static_cast<std::uint8_t>(HexDigit(byte >> 4)));
        frame.push_back(static_cast<std::uint8_t>(HexDigit(byte)));
    };
    for (const std::uint8_t byte : addressAndPdu) {
        putByte(byte);
    }
    putByte(Lrc(addressAndPdu));
    frame.push_back('\r');
    frame.push_back('\n');
    return frame;
}

std::vector<std::uint8_t> EncodeFrame(bool ascii, std::span<const std::uint8_t> addressAndPdu) {
    return ascii ? EncodeAscii(addressAndPdu) : EncodeRtu(addressAndPdu);
}

} // namespace hz70::sim
