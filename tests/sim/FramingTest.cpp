// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Framing.h"

#include <gtest/gtest.h>
#include <string_view>

namespace hz70::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const Bytes kPollRtu{0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B};
const Bytes kPollPdu{0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07};

Bytes Chars(std::string_view text) {
    return {text.begin(), text.end()};
}

std::vector<InboundFrame> Feed(FrameReceiver& receiver, Micros at, const Bytes& bytes) {
    std::vector<InboundFrame> frames;
    receiver.receive(at, bytes, frames);
    return frames;
}

TEST(Framing, EncodesTheKnownPollRequestInBothFramings) {
    EXPECT_EQ(EncodeRtu(kPollPdu), kPollRtu);
    EXPECT_EQ(EncodeAscii(kPollPdu), Chars(":01030FB2000734\r\n"));
}

TEST(AsciiReceiver, TakesAFrameFromColonToCrLfDroppingWhatCameBefore) {
    AsciiReceiver receiver;
    EXPECT_TRUE(Feed(receiver, 0us, Chars("\x13garbage:0103")).empty());
    const auto frames = Feed(receiver, 5us, Chars("0FB2000734\r\n"));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].checkOk);
    EXPECT_EQ(frames[0].bytes, kPollPdu);
}

TEST(AsciiReceiver, FlagsBadFramesAndRestartsOnEveryColon) {
    AsciiReceiver receiver;
    const auto frames = Feed(receiver, 0us,
                             Chars(":01030FB2000735\r\n"         // wrong LRC
                                   ":01030fb2000734\r\n"         // lower case
                                   ":01030FB2000734\n"           // no CR
                                   ":0103:01030FB2000734\r\n")); // restarted frame
    ASSERT_EQ(frames.size(), 4u);
    EXPECT_FALSE(frames[0].checkOk);
    EXPECT_EQ(frames[0].bytes, kPollPdu) << "kept for the log";
    EXPECT_FALSE(frames[1].checkOk);
    EXPECT_FALSE(frames[2].checkOk);
    EXPECT_TRUE(frames[3].checkOk);
}

TEST(AsciiReceiver, ForgetsAFrameTooLongToBeOne) {
    AsciiReceiver receiver;
    EXPECT_TRUE(Feed(receiver, 0us, Bytes(600, '0')).empty());
    Bytes longFrame{':'};
    longFrame.insert(longFrame.end(), 600, '0');
    EXPECT_TRUE(Feed(receiver, 0us, longFrame).empty());
    EXPECT_TRUE(Feed(receiver, 0us, Chars("\r\n")).empty());
}

TEST(RtuReceiver, EndsAKnownRequestAtItsLengthWithoutWaiting) {
    RtuReceiver receiver(4000us);
    EXPECT_TRUE(Feed(receiver, 0us, {0x01, 0x03, 0x0F}).empty());
    const auto frames = Feed(receiver, 1000us, {0xB2, 0x00, 0x07, 0xA7, 0x3B, 0x01, 0x11, 0xC0, 0x2C});
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].bytes, kPollPdu);
    EXPECT_EQ(frames[1].bytes, (Bytes{0x01, 0x11}));
    EXPECT_FALSE(receiver.deadline());
}

TEST(RtuReceiver, EndsOtherFramesBySilenceAndFlagsBadOnes) {
    RtuReceiver receiver(4000us);
    Bytes bad = kPollRtu;
    bad[7] ^= 1;
    EXPECT_TRUE(Feed(receiver, 0us, bad).empty());
    EXPECT_EQ(receiver.deadline(), 4000us);
    std::vector<InboundFrame> frames;
    receiver.expire(3999us, frames);
    EXPECT_TRUE(frames.empty());
    receiver.expire(4000us, frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checkOk);

    const Bytes unknown = EncodeRtu(Bytes{0x01, 0x2B, 0x0E, 0x01, 0x00});
    EXPECT_TRUE(Feed(receiver, 10000us, unknown).empty());
    frames.clear();
    receiver.expire(14000us, frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_TRUE(frames[0].checkOk);
}

TEST(RtuReceiver, NoiseBeforeARequestWithoutAGapSpoilsIt) {
    RtuReceiver receiver(4000us);
    Bytes noisy{0x55};
    noisy.insert(noisy.end(), kPollRtu.begin(), kPollRtu.end());
    EXPECT_TRUE(Feed(receiver, 0us, noisy).empty());
    // A gap before the request lets it through.
    std::vector<InboundFrame> frames;
    receiver.receive(4000us, kPollRtu, frames);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_FALSE(frames[0].checkOk);
    EXPECT_TRUE(frames[1].checkOk);
}

TEST(RtuReceiver, KnowsTheLengthsOfRequestsWithByteCounts) {
    EXPECT_EQ(RequestLength(Bytes{1, 16, 0x0F, 0xA0, 0, 2}), std::nullopt);
    EXPECT_EQ(RequestLength(Bytes{1, 16, 0x0F, 0xA0, 0, 2, 4}), 13u);
    EXPECT_EQ(RequestLength(Bytes{1, 6}), 8u);
    EXPECT_EQ(RequestLength(Bytes{1, 17}), 4u);
    EXPECT_EQ(RequestLength(Bytes{1, 0x2B}), std::nullopt);
}

} // namespace
} // namespace hz70::sim
