// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/LineEcho.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

using Habit = LineEcho::Habit;

// What one exchange on an unknown line teaches: only what came back that allows one answer alone.
TEST(LineEcho, LearnsOnlyFromWhatAllowsOneAnswer) {
    struct Case {
        const char* what;
        bool echo, input, frame, requestLooksLikeReply;
        Habit learnt;
    };
    for (const Case& c : {
             Case{"silence", false, false, false, false, Habit::Absent},
             Case{"silence after a write", false, false, false, true, Habit::Absent},
             Case{"echo, then a reply", true, true, true, false, Habit::Present},
             Case{"echo, then a write's reply", true, true, true, true, Habit::Present},
             Case{"a read's echo alone", true, true, false, false, Habit::Present},
             Case{"a write's echo alone: it may be the reply", true, true, false, true, Habit::Unknown},
             Case{"a reply alone", false, true, true, false, Habit::Absent},
             Case{"a write's reply alone: it may be the echo", false, true, true, true, Habit::Unknown},
             Case{"noise alone", false, true, false, false, Habit::Unknown},
         }) {
        LineEcho line;
        line.RequestSent();
        EXPECT_TRUE(line.echoExpected()) << c.what;
        if (c.input) {
            line.InputArrived();
        }
        if (c.echo) {
            line.EchoArrived();
            EXPECT_FALSE(line.echoExpected()) << c.what;
        }
        if (c.frame) {
            line.FrameArrived();
        }
        line.WaitEnded(c.requestLooksLikeReply);
        EXPECT_EQ(line.habit(), c.learnt) << c.what;
    }
}

TEST(LineEcho, WhatIsLearntHoldsUntilTheLineIsForgotten) {
    LineEcho line;
    line.RequestSent();
    line.WaitEnded(false); // silence: no echo
    ASSERT_EQ(line.habit(), Habit::Absent);
    line.RequestSent();
    EXPECT_FALSE(line.echoExpected());
    line.InputArrived();
    line.EchoArrived();
    line.WaitEnded(false);
    EXPECT_EQ(line.habit(), Habit::Absent) << "one exchange does not unlearn another";

    line.Forget();
    EXPECT_EQ(line.habit(), Habit::Unknown);
    line.RequestSent();
    EXPECT_TRUE(line.echoExpected());
}

} // namespace
} // namespace hz70
