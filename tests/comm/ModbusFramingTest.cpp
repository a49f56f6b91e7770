// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/ModbusFraming.h"

#include <array>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hz70 {
namespace {

using Bytes = std::vector<std::uint8_t>;
using ::testing::ElementsAreArray;

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

// Frames with their check as published in Modbus examples (the serial line guide's LRC example, the
// read-holding-registers and write-single-register request and reply examples), so that a checksum
// error shared by both our sides cannot hide.
const Bytes kPublishedRtuReply{0x11, 0x03, 0x06, 0xAE, 0x41, 0x56, 0x52, 0x43, 0x40, 0x49, 0xAD};
const Bytes kPublishedAsciiReply = Text(":110306AE4156524340CC\r\n");
const Bytes kReplyFrame(kPublishedRtuReply.begin(), kPublishedRtuReply.end() - 2);

TEST(ModbusFraming, EncodesFramesAsThePublishedLines) {
    struct Case {
        Framing framing;
        Bytes frame;
        Bytes line;
    };
    for (const Case& c : {
             Case{Framing::Rtu,
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A},
                  {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
             Case{Framing::Rtu,
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03},
                  {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}},
             Case{Framing::Rtu,
                  {0x11, 0x06, 0x00, 0x01, 0x00, 0x03},
                  {0x11, 0x06, 0x00, 0x01, 0x00, 0x03, 0x9A, 0x9B}},
             Case{Framing::Rtu, kReplyFrame, kPublishedRtuReply},
             Case{Framing::Ascii, {0xF7, 0x03, 0x13, 0x89, 0x00, 0x0A}, Text(":F7031389000A60\r\n")},
             Case{Framing::Ascii, {0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, Text(":010300000001FB\r\n")},
             Case{Framing::Ascii, kReplyFrame, kPublishedAsciiReply},
         }) {
        std::array<std::uint8_t, 100> line{};
        const std::size_t length = EncodeFrame(c.framing, c.frame, line);
        EXPECT_THAT(std::span(line).first(length), ElementsAreArray(c.line));
        EXPECT_EQ(LineLength(c.framing, c.frame.size()), c.line.size());
        EXPECT_EQ(EncodeFrame(c.framing, c.frame, std::span(line).first(c.line.size() - 1)), 0u) << "no room";
    }
}

TEST(ModbusFraming, FindsTheReplyToTheRequestInWhatArrived) {
    // A function-3 request to slave 0x11 for three registers.
    constexpr ReplyExpectation kExpected{0x11, 0x03, 6};
    const Bytes anotherSlave{0x01, 0x03, 0x06, 0x00, 0x01, 0x00, 0x02, 0x00, 0x03, 0xFD, 0x74};
    Bytes badCrc = kPublishedRtuReply;
    badCrc.back() ^= 0x01;
    Bytes badLrc = kPublishedAsciiReply;
    badLrc[20] = 'D';
    const Bytes lowerCase = Text(":110306ae4156524340cc\r\n");
    struct Case {
        const char* what;
        Framing framing;
        Bytes input;
        std::optional<std::size_t> frameStart; // where the reply was found, if it was
        Bytes frame;
        bool foreign = false;
        int badChecks = 0;
    };
    for (const Case& c : {
             Case{"published RTU reply", Framing::Rtu, kPublishedRtuReply, 0, kReplyFrame},
             Case{"stray byte before, NUL after", Framing::Rtu, Join({{0xFF}, kPublishedRtuReply, {0x00}}), 1,
                  kReplyFrame},
             Case{"another slave's frame first", Framing::Rtu, Join({anotherSlave, kPublishedRtuReply}), 11,
                  kReplyFrame, true},
             Case{"exception reply", Framing::Rtu, {0x11, 0x83, 0x02, 0xC1, 0x34}, 0, {0x11, 0x83, 0x02}},
             Case{"last check byte still to come",
                  Framing::Rtu,
                  Bytes(kPublishedRtuReply.begin(), kPublishedRtuReply.end() - 1),
                  std::nullopt,
                  {}},
             Case{"wrong CRC", Framing::Rtu, badCrc, std::nullopt, {}, false, 1},
             Case{"published ASCII reply", Framing::Ascii, kPublishedAsciiReply, 0, kReplyFrame},
             Case{"noise before", Framing::Ascii, Join({Text("#~x"), kPublishedAsciiReply}), 3, kReplyFrame},
             Case{"line feed still to come",
                  Framing::Ascii,
                  Bytes(kPublishedAsciiReply.begin(), kPublishedAsciiReply.end() - 1),
                  std::nullopt,
                  {}},
             Case{"lower-case digits", Framing::Ascii, lowerCase, std::nullopt, {}},
             Case{"wrong LRC", Framing::Ascii, badLrc, std::nullopt, {}, false, 1},
         }) {
        SCOPED_TRACE(c.what);
        const ReplySearch search = FindReply(c.framing, c.input, kExpected);
        EXPECT_EQ(search.found, c.frameStart.has_value());
        EXPECT_EQ(search.foreign, c.foreign);
        EXPECT_EQ(search.badChecks, c.badChecks);
        if (search.found && c.frameStart) {
            EXPECT_EQ(search.frameStart, *c.frameStart);
            EXPECT_EQ(search.frameEnd, *c.frameStart + LineLength(c.framing, c.frame.size()));
            EXPECT_THAT(std::span(search.frame).first(search.frameLength), ElementsAreArray(c.frame));
        }
    }
    // A reply still arriving keeps its start for the next scan.
    EXPECT_EQ(
        FindReply(Framing::Rtu, Bytes(kPublishedRtuReply.begin(), kPublishedRtuReply.end() - 1), kExpected)
            .settled,
        0u);
    const Bytes asciiUnfinished =
        Join({Text("#~x"), Bytes(kPublishedAsciiReply.begin(), kPublishedAsciiReply.end() - 1)});
    EXPECT_EQ(FindReply(Framing::Ascii, asciiUnfinished, kExpected).settled, 3u);
}

TEST(ModbusFraming, FindsTheRequestsEchoOnlyWholeAndNearTheStart) {
    const Bytes request{0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B};
    struct Case {
        std::size_t lead;
        std::size_t echoed; // bytes of the request that came back
        std::optional<std::size_t> found;
    };
    for (const Case c : {Case{0, 8, 0}, Case{2, 8, 2}, Case{16, 8, 16}, Case{17, 8, std::nullopt},
                         Case{0, 7, std::nullopt}}) {
        Bytes input(c.lead, 0xFF);
        input.insert(input.end(), request.begin(), request.begin() + static_cast<long>(c.echoed));
        input.push_back(0x01); // the reply may follow at once
        EXPECT_EQ(FindEcho(input, request, 16), c.found) << "lead " << c.lead << ", echoed " << c.echoed;
    }
}

} // namespace
} // namespace hz70
