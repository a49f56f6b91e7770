// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstdint>
#include <span>

namespace hz70 {

// What the link did on the wire and what it made of what came back: the events a commissioning
// engineer needs to tell a wiring fault from a wrong baud rate.
enum class LinkEvent {
    Sent,          // a request went out; `bytes` is the line as written
    Received,      // bytes came in; `bytes` is what this reception brought
    ReplyAccepted, // `bytes` is the accepted frame (address to last data byte, no check)
    EchoDropped,   // the line gave our own request back; `bytes` is the echo as received
    BytesSkipped,  // bytes that belong to no frame were passed over; `bytes` are those bytes
    BadCheck,      // a frame whose CRC or LRC is wrong; `bytes` as received
    NotOurReply,   // a valid frame that answers no request of ours: another slave's, or a late reply
                   // to an earlier request; passed over. `bytes` is the frame as received
    TimedOut,      // no valid reply within the reply time-out; `bytes` is empty
    InputNeverEnds // input kept arriving past the exchange's bound; `bytes` is empty
};

struct LinkTraceEntry {
    LinkEvent event;
    std::span<const std::uint8_t> bytes;
    bool ascii; // framing of the line: ASCII text or RTU binary
};

// Receives the link's events as they happen. Off by default: the link calls it only when one is set.
class LinkTrace {
public:
    virtual ~LinkTrace() = default;
    virtual void Record(const LinkTraceEntry& entry) = 0;
};

} // namespace hz70
