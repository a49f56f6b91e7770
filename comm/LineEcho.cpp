// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/LineEcho.h"

namespace hz70 {

void LineEcho::RequestSent() {
    echoExpected_ = habit_ != Habit::Absent;
    echoSeen_ = false;
    receivedAny_ = false;
    frameSeen_ = false;
}

void LineEcho::EchoArrived() {
    echoExpected_ = false;
    echoSeen_ = true;
}

// Only what cannot be anything else teaches: the request coming back whole before a frame (or before
// nothing, where the request itself is no valid reply), a frame with no echo before it, or silence.
void LineEcho::WaitEnded(bool requestLooksLikeReply) {
    if (habit_ != Habit::Unknown) {
        return;
    }
    if (echoSeen_ && (frameSeen_ || !requestLooksLikeReply)) {
        habit_ = Habit::Present;
    } else if (!receivedAny_ || (frameSeen_ && !requestLooksLikeReply)) {
        habit_ = Habit::Absent;
    }
}

} // namespace hz70
