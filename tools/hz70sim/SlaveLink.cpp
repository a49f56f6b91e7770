// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/SlaveLink.h"

#include "hz70sim/RequestLog.h"

#include <algorithm>

namespace hz70::sim {

SlaveLink::SlaveLink(const LinkSetup& setup, Bus& bus, FaultInjector& faults, LogSink log)
    : setup_(setup), bus_(bus), faults_(faults), log_(std::move(log)),
      receiver_(MakeReceiver(setup.mode, setup.baud)), transmitter_(CharacterTime(setup.mode, setup.baud)),
      frameGap_(FrameSilence(setup.mode, setup.baud)), turnaround_(setup.mode.ascii ? Micros{0} : frameGap_) {
}

void SlaveLink::receive(Micros now, std::span<const std::uint8_t> bytes) {
    if (faults_.settings().habits.echo) {
        echoBack(now, bytes);
    }
    std::vector<InboundFrame> frames;
    receiver_->receive(now, bytes, frames);
    handleFrames(now, frames);
}

void SlaveLink::expire(Micros now) {
    std::vector<InboundFrame> frames;
    receiver_->expire(now, frames);
    handleFrames(now, frames);
}

void SlaveLink::release(Micros now, std::vector<std::uint8_t>& out) {
    out.insert(out.end(), echoed_.begin(), echoed_.end());
    echoed_.clear();
    transmitter_.release(now, out);
}

std::optional<Micros> SlaveLink::nextDeadline() const {
    std::optional<Micros> next = echoed_.empty() ? std::nullopt : std::optional<Micros>(echoedAt_);
    for (const std::optional<Micros> deadline : {receiver_->deadline(), transmitter_.nextRelease()}) {
        if (deadline && (!next || *deadline < *next)) {
            next = deadline;
        }
    }
    return next;
}

void SlaveLink::echoBack(Micros now, std::span<const std::uint8_t> bytes) {
    transmitter_.release(now, echoed_); // reply bytes due by now reach the master before the echo
    echoed_.insert(echoed_.end(), bytes.begin(), bytes.end());
    echoedAt_ = now;
}

void SlaveLink::handleFrames(Micros now, std::vector<InboundFrame>& frames) {
    for (const InboundFrame& frame : frames) {
        std::string answer = handle(now, frame);
        if (faults_.settings().habits.echo) {
            answer += ",echoed";
        }
        if (log_) {
            log_(FormatLogLine(now, frame.bytes, answer));
        }
    }
}

std::string SlaveLink::handle(Micros now, const InboundFrame& frame) {
    if (!frame.checkOk || frame.bytes.size() < 2) {
        return "bad-check";
    }
    bus_.advanceTo(now);
    const std::uint8_t address = frame.bytes[0];
    const std::span<const std::uint8_t> request = std::span(frame.bytes).subspan(1);
    if (address == 0) {
        for (SlaveDevice& device : bus_.devices()) {
            ApplyBroadcast(device, request);
        }
        return "broadcast";
    }
    SlaveDevice* device = bus_.find(address);
    if (device == nullptr) {
        return "no-device";
    }
    if (device->silenced) {
        return "silenced";
    }
    return reply(now, address, Answer(*device, request));
}

std::string SlaveLink::reply(Micros now, std::uint8_t address, std::vector<std::uint8_t> pdu) {
    std::string answer = DescribeReply(pdu);
    const ReplyFaults faults = faults_.decide();
    const FaultSettings& settings = faults_.settings();
    if (faults.drop) {
        return answer + ",dropped";
    }
    if (faults.wrongAddress) {
        address = OtherAddress(address);
        answer += ",wrongaddr";
    }
    pdu.insert(pdu.begin(), address);
    std::vector<std::uint8_t> frame = EncodeFrame(setup_.mode.ascii, pdu);
    if (faults.corrupt) {
        CorruptCheck(setup_.mode.ascii, frame);
        answer += ",corrupt";
    }

    // After the request's end, and a frame gap after whatever went out before, so replies stay apart.
    Micros start = std::max(now + std::max(setup_.responseDelay + settings.extraDelay, turnaround_),
                            transmitter_.lineFreeAt() + frameGap_);
    if (settings.extraDelay.count() > 0) {
        answer += ",delay" + std::to_string(settings.extraDelay.count() / 1000);
    }
    if (faults.noise) {
        // Noise comes as a burst of its own, a frame gap before the reply.
        start = transmitter_.enqueue(start, faults_.noiseBytes()) + frameGap_;
        answer += ",noise";
    }
    const LineHabits& habits = settings.habits;
    answer += habits.stray.empty() ? "" : ",stray";
    answer += habits.trail.empty() ? "" : ",trail";
    const auto pieces = SplitFrame(FrameOnTheLine(habits, frame), settings.pieces);
    if (pieces.size() > 1) {
        answer += ",split" + std::to_string(pieces.size());
    }
    for (const std::vector<std::uint8_t>& piece : pieces) {
        start = transmitter_.enqueue(start, piece) + settings.pieceGap;
    }
    return answer;
}

} // namespace hz70::sim
