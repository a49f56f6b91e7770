// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/WireTrace.h"

#include <gtest/gtest.h>
#include <vector>

namespace hz70::cli {
namespace {

struct TraceCase {
    std::uint32_t ms;
    LinkEvent event;
    std::vector<std::uint8_t> bytes;
    bool ascii;
    const char* line;
};

TEST(WireTraceTest, OneAlignedLinePerEvent) {
    const std::vector<TraceCase> cases = {
        {12345,
         LinkEvent::Sent,
         {0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B},
         false,
         "   12.345 sent              01 03 0F B2 00 07 A7 3B"},
        {20,
         LinkEvent::Sent,
         {':', '0', '1', '1', '1', 'E', 'E', '\r', '\n'},
         true,
         "    0.020 sent              \":0111EE\\r\\n\""},
        {31,
         LinkEvent::Received,
         {'~', '"', '\\', 0x00, 0xFF},
         true,
         "    0.031 received          \"~\\\"\\\\\\x00\\xFF\""},
        {31,
         LinkEvent::EchoDropped,
         {0x01, 0x11, 0xC0, 0x2C},
         false,
         "    0.031 echo dropped      01 11 C0 2C"},
        {32, LinkEvent::BytesSkipped, {0xFF}, false, "    0.032 skipped 1 byte    FF"},
        {32, LinkEvent::BytesSkipped, {'x', '!'}, true, "    0.032 skipped 2 bytes   \"x!\""},
        // An accepted reply arrives decoded, so it is hex in ASCII framing too.
        {40,
         LinkEvent::ReplyAccepted,
         {0x01, 0x11, 0x02, 0x8E, 0xFF},
         true,
         "    0.040 reply ok          01 11 02 8E FF"},
        {41, LinkEvent::NotOurReply, {':', '0', '2'}, true, "    0.041 not our reply     \":02\""},
        {50, LinkEvent::BadCheck, {0x01, 0x03, 0x00, 0x00}, false, "    0.050 bad check         01 03 00 00"},
        {1500, LinkEvent::TimedOut, {}, false, "    1.500 time-out"},
        {99999999, LinkEvent::InputNeverEnds, {}, true, "99999.999 input never ends"},
    };
    for (const TraceCase& c : cases) {
        EXPECT_EQ(FormatTraceLine(c.ms, {c.event, c.bytes, c.ascii}), c.line);
    }
}

} // namespace
} // namespace hz70::cli
