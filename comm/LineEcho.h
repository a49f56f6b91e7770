// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace hz70 {

// Whether the line gives every request back, as a two-wire adapter whose receiver stays on while it
// sends does. A write's reply is byte for byte its request, so the link must know this before it can
// tell the two apart. Learnt from one exchange at a time, and only from what allows one answer alone.
class LineEcho {
public:
    enum class Habit { Unknown, Present, Absent };

    [[nodiscard]] Habit habit() const { return habit_; }
    // Another port, or the same one opened anew: the line may not be the one learnt.
    void Forget() { habit_ = Habit::Unknown; }

    // A request went out; what comes back is counted afresh.
    void RequestSent();
    // True while the request's echo may still arrive ahead of its reply.
    [[nodiscard]] bool echoExpected() const { return echoExpected_; }
    void EchoArrived();                          // the request came back whole
    void InputArrived() { receivedAny_ = true; } // anything at all came back
    void FrameArrived() { frameSeen_ = true; }   // a valid frame, ours or not, came back
    // The wait for the reply is over. `requestLooksLikeReply`: the request would itself pass for a
    // valid reply (a write's does), so its echo alone proves nothing.
    void WaitEnded(bool requestLooksLikeReply);

private:
    Habit habit_ = Habit::Unknown;
    bool echoExpected_ = false;
    bool echoSeen_ = false;
    bool receivedAny_ = false;
    bool frameSeen_ = false;
};

} // namespace hz70
