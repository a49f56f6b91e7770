// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/Bus.h"
#include "hz70sim/FaultInjector.h"
#include "hz70sim/Framing.h"
#include "hz70sim/LineTiming.h"
#include "hz70sim/PacedTransmitter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hz70::sim {

struct LinkSetup {
    LineMode mode;
    int baud = 9600;
    Micros responseDelay{5000}; // from the end of a request to the start of its reply
};

// The slaves' side of the line without the device: bytes in, frames, answers with their faults, paced
// bytes out. The program feeds it what the line delivers and the monotonic time; tests feed it bytes
// and step the time.
class SlaveLink {
public:
    using LogSink = std::function<void(const std::string&)>;

    SlaveLink(const LinkSetup& setup, Bus& bus, FaultInjector& faults, LogSink log = {});

    // Bytes that arrived at `now`. With echo on they come straight back, unpaced: the adapter, not a
    // controller, sends them.
    void receive(Micros now, std::span<const std::uint8_t> bytes);
    // Whatever the passage of time does by `now` (RTU frames end by silence).
    void expire(Micros now);
    // Appends to `out` the echoed and reply bytes a real line would have delivered by `now`.
    void release(Micros now, std::vector<std::uint8_t>& out);
    // The next time `expire` or `release` has work; nothing when idle.
    [[nodiscard]] std::optional<Micros> nextDeadline() const;

private:
    void echoBack(Micros now, std::span<const std::uint8_t> bytes);
    void handleFrames(Micros now, std::vector<InboundFrame>& frames);
    [[nodiscard]] std::string handle(Micros now, const InboundFrame& frame);
    [[nodiscard]] std::string reply(Micros now, std::uint8_t address, std::vector<std::uint8_t> pdu);

    LinkSetup setup_;
    Bus& bus_;
    FaultInjector& faults_;
    LogSink log_;
    std::unique_ptr<FrameReceiver> receiver_;
    PacedTransmitter transmitter_;
    std::vector<std::uint8_t> echoed_; // waiting to be released, in line order with the reply bytes
    Micros echoedAt_{0};
    Micros frameGap_;
    Micros turnaround_; // the least quiet before a reply (RTU: the frame gap)
};

} // namespace hz70::sim
