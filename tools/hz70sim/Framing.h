// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace hz70::sim {

// One frame taken off the line: address, function code and data, without the check. A frame whose
// check failed (or that could not be decoded at all) keeps what could be read of it, for the log.
struct InboundFrame {
    std::vector<std::uint8_t> bytes;
    bool checkOk = false;
};

// Cuts the incoming byte stream into frames.
class FrameReceiver {
public:
    virtual ~FrameReceiver() = default;
    // Takes bytes that arrived at `now`; frames they complete are appended to `frames`.
    virtual void receive(Micros now, std::span<const std::uint8_t> bytes,
                         std::vector<InboundFrame>& frames) = 0;
    // Ends whatever the passage of time ends by `now`.
    virtual void expire(Micros now, std::vector<InboundFrame>& frames) = 0;
    // When `expire` next has something to do; nothing while it has not.
    [[nodiscard]] virtual std::optional<Micros> deadline() const = 0;
};

// ASCII framing: ':' starts a frame (dropping any unfinished one), CR LF ends it; the characters between
// are upper-case hexadecimal pairs, the last pair the LRC.
class AsciiReceiver final : public FrameReceiver {
public:
    void receive(Micros now, std::span<const std::uint8_t> bytes, std::vector<InboundFrame>& frames) override;
    void expire(Micros, std::vector<InboundFrame>&) override {}
    [[nodiscard]] std::optional<Micros> deadline() const override { return std::nullopt; }

private:
    void finish(std::vector<InboundFrame>& frames);

    std::vector<std::uint8_t> characters_;
    bool inFrame_ = false;
};

// RTU framing: a frame ends as soon as the bytes a request of its function needs are in with a good
// CRC, or else after the line has been quiet for `silence`.
class RtuReceiver final : public FrameReceiver {
public:
    explicit RtuReceiver(Micros silence);
    void receive(Micros now, std::span<const std::uint8_t> bytes, std::vector<InboundFrame>& frames) override;
    void expire(Micros now, std::vector<InboundFrame>& frames) override;
    [[nodiscard]] std::optional<Micros> deadline() const override;

private:
    void takeCompleteRequests(std::vector<InboundFrame>& frames);
    void endBySilence(std::vector<InboundFrame>& frames);

    Micros silence_;
    std::vector<std::uint8_t> buffer_;
    Micros lastByteAt_{0};
    bool waitForSilence_ = false; // the length rule failed; only quiet can end this frame now
};

// Length on the line (address to CRC) of a request, judged from its first bytes; nothing when its
// function does not tell or the bytes that tell have not arrived yet.
[[nodiscard]] std::optional<std::size_t> RequestLength(std::span<const std::uint8_t> head);

[[nodiscard]] std::unique_ptr<FrameReceiver> MakeReceiver(const LineMode& mode, int baud);

// Frames address + PDU for the line: RTU with its CRC (low byte first), ASCII as ':', hexadecimal
// pairs, LRC, CR LF.
[[nodiscard]] std::vector<std::uint8_t> EncodeRtu(std::span<const std::uint8_t> addressAndPdu);
[[nodiscard]] std::vector<std::uint8_t> EncodeAscii(std::span<const std::uint8_t> addressAndPdu);
[[nodiscard]] std::vector<std::uint8_t> EncodeFrame(bool ascii, std::span<const std::uint8_t> addressAndPdu);

} // namespace hz70::sim
