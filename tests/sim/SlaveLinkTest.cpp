// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/SlaveLink.h"

#include "comm/ModbusChecksum.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace hz70::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

const Bytes kPollRtu{0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B};

struct Delivery {
    Micros at;
    std::uint8_t byte;
};

// Runs the link from one deadline to the next until nothing is left before `until`.
std::vector<Delivery> Drain(SlaveLink& link, Micros until = 10s) {
    std::vector<Delivery> deliveries;
    while (const std::optional<Micros> next = link.nextDeadline()) {
        if (*next > until) {
            break;
        }
        link.expire(*next);
        Bytes out;
        link.release(*next, out);
        for (const std::uint8_t byte : out) {
            deliveries.push_back({*next, byte});
        }
    }
    return deliveries;
}

Bytes BytesOf(const std::vector<Delivery>& deliveries) {
    Bytes bytes;
    for (const Delivery& d : deliveries) {
        bytes.push_back(d.byte);
    }
    return bytes;
}

Bytes Chars(std::string_view text) {
    return {text.begin(), text.end()};
}

class SlaveLinkTest : public ::testing::Test {
protected:
    SlaveLinkTest() : bus_(BusSetup{{1, 2}, {{5, 77}}, 7, 1.0}), faults_(7) {}

    SlaveLink makeLink(int mode, int baud = 9600, Micros delay = 5ms) {
        return SlaveLink(LinkSetup{*LineModeFromIndex(mode), baud, delay}, bus_, faults_,
                         [this](const std::string& line) { log_.push_back(line); });
    }

    Bus bus_;
    FaultInjector faults_;
    std::vector<std::string> log_;
};

TEST_F(SlaveLinkTest, AReplyOfNCharactersIsNeverCompleteBeforeNTimes10OverBaud) {
    for (const int mode : {0, 1, 2, 3, 4, 5, 6}) {
        for (const int baud : {300, 1200, 9600, 19200, 115200}) {
            SlaveLink link = makeLink(mode, baud, 0ms);
            const Bytes request = mode <= 2 ? Chars(":01030FB2000734\r\n") : kPollRtu;
            link.receive(1s, request);
            const std::vector<Delivery> reply = Drain(link);
            ASSERT_FALSE(reply.empty());
            for (std::size_t k = 0; k < reply.size(); ++k) {
                const double earliest = 1.0 + (k + 1) * 10.0 / baud;
                ASSERT_GE(std::chrono::duration<double>(reply[k].at).count(), earliest - 1e-9)
                    << "mode " << mode << " baud " << baud << " byte " << k;
            }
        }
    }
}

TEST_F(SlaveLinkTest, PacesAtTheModesBitsPerCharacterAfterTheResponseDelay) {
    SlaveLink link = makeLink(4, 9600, 5ms); // E,8,1: 11 bits
    link.receive(0us, kPollRtu);
    const std::vector<Delivery> reply = Drain(link);
    ASSERT_EQ(reply.size(), 19u);
    const Micros character = CharacterTime(*LineModeFromIndex(4), 9600);
    EXPECT_EQ(character, 1146us);
    EXPECT_EQ(reply.front().at, 5ms + character);
    EXPECT_EQ(reply.back().at, 5ms + 19 * character);
}

TEST_F(SlaveLinkTest, AnswersInRtuAndAsciiWithValidFrames) {
    SlaveLink rtu = makeLink(6);
    rtu.receive(0us, EncodeRtu(Bytes{2, 17}));
    EXPECT_EQ(BytesOf(Drain(rtu)), EncodeRtu(Bytes{2, 17, 2, 0x8E, 0xFF}));

    SlaveLink ascii = makeLink(1);
    ascii.receive(0us, EncodeAscii(Bytes{5, 17}));
    EXPECT_EQ(BytesOf(Drain(ascii)), Chars(":0511024DFF9C\r\n"));
    ascii.receive(1s, EncodeAscii(Bytes{1, 6, 0x0F, 0xA3, 0, 101}));
    EXPECT_EQ(BytesOf(Drain(ascii)), EncodeAscii(Bytes{1, 0x86, 3}));
}

TEST_F(SlaveLinkTest, LogsOneLinePerRequestWithWhatWasAnswered) {
    SlaveLink link = makeLink(6);
    link.receive(1234567us, kPollRtu);
    link.receive(1300ms, EncodeRtu(Bytes{1, 6, 0x0F, 0xA3, 0, 101}));
    link.receive(1400ms, EncodeRtu(Bytes{9, 17}));
    link.receive(1500ms, EncodeRtu(Bytes{0, 6, 0x0F, 0xA0, 0, 250}));
    Bytes badCrc = kPollRtu;
    badCrc[6] ^= 0xFF;
    link.receive(1600ms, badCrc);
    Drain(link);
    EXPECT_EQ(log_, (std::vector<std::string>{"1234 1 3 4018 7 ok", "1300 1 6 4003 101 exception3",
                                              "1400 9 17 - - no-device", "1500 0 6 4000 250 broadcast",
                                              "1604 1 3 4018 7 bad-check"}));
    EXPECT_EQ(bus_.find(2)->zone.settings().word(Setting::SP), 250);
}

TEST_F(SlaveLinkTest, SilencedControllersSayNothing) {
    SlaveLink link = makeLink(6);
    bus_.find(1)->silenced = true;
    link.receive(0us, kPollRtu);
    EXPECT_TRUE(Drain(link).empty());
    EXPECT_EQ(log_.back(), "0 1 3 4018 7 silenced");
}

TEST_F(SlaveLinkTest, DroppedCorruptedAndMisaddressedReplies) {
    SlaveLink link = makeLink(6);
    faults_.settings().drop = 1.0;
    link.receive(0us, kPollRtu);
    EXPECT_TRUE(Drain(link).empty());
    EXPECT_EQ(log_.back(), "0 1 3 4018 7 ok,dropped");

    faults_.settings() = {};
    faults_.settings().corrupt = 1.0;
    link.receive(1s, kPollRtu);
    const Bytes corrupted = BytesOf(Drain(link));
    ASSERT_EQ(corrupted.size(), 19u);
    EXPECT_NE(Crc16(corrupted), 0);

    faults_.settings() = {};
    faults_.settings().wrongAddress = 1.0;
    link.receive(2s, kPollRtu);
    const Bytes misaddressed = BytesOf(Drain(link));
    EXPECT_EQ(misaddressed[0], 2);
    EXPECT_EQ(Crc16(misaddressed), 0);
    EXPECT_EQ(log_.back(), "2000 1 3 4018 7 ok,wrongaddr");

    SlaveLink ascii = makeLink(0);
    faults_.settings() = {};
    faults_.settings().corrupt = 1.0;
    ascii.receive(3s, Chars(":01030FB2000734\r\n"));
    std::vector<InboundFrame> frames;
    AsciiReceiver check;
    check.receive(0us, BytesOf(Drain(ascii)), frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_FALSE(frames[0].checkOk);
    EXPECT_EQ(frames[0].bytes.size(), 2u + 1u + 14u) << "well formed, only the LRC is wrong";
}

TEST_F(SlaveLinkTest, NoiseComesAFrameGapBeforeTheReply) {
    SlaveLink link = makeLink(6);
    faults_.settings().noise = 1.0;
    link.receive(0us, kPollRtu);
    const std::vector<Delivery> out = Drain(link);
    ASSERT_GT(out.size(), 19u);
    ASSERT_LE(out.size(), 19u + 8u);
    const std::size_t noise = out.size() - 19;
    const Micros character = CharacterTime(*LineModeFromIndex(6), 9600);
    EXPECT_GE(out[noise].at - out[noise - 1].at, FrameSilence(*LineModeFromIndex(6), 9600) + character);
    const Bytes all = BytesOf(out);
    EXPECT_EQ(Crc16(Bytes(all.begin() + static_cast<long>(noise), all.end())), 0);
}

TEST_F(SlaveLinkTest, SplitAndDelayedReplies) {
    SlaveLink link = makeLink(6, 9600, 5ms);
    faults_.settings().pieces = 3;
    faults_.settings().pieceGap = 30ms;
    faults_.settings().extraDelay = 1500ms;
    link.receive(0us, kPollRtu);
    const std::vector<Delivery> out = Drain(link);
    ASSERT_EQ(out.size(), 19u);
    const Micros character = CharacterTime(*LineModeFromIndex(6), 9600);
    EXPECT_EQ(out.front().at, 1505ms + character);
    int gaps = 0;
    for (std::size_t k = 1; k < out.size(); ++k) {
        gaps += out[k].at - out[k - 1].at >= 30ms ? 1 : 0;
    }
    EXPECT_EQ(gaps, 2);
    EXPECT_EQ(log_.back(), "0 1 3 4018 7 ok,delay1500,split3");
}

TEST_F(SlaveLinkTest, RepliesNeverOverlapOnTheLine) {
    SlaveLink link = makeLink(6, 9600, 5ms);
    faults_.settings().extraDelay = 100ms;
    link.receive(0us, kPollRtu);
    faults_.settings().extraDelay = 0ms;
    link.receive(10ms, EncodeRtu(Bytes{2, 17}));
    const std::vector<Delivery> out = Drain(link);
    const Bytes all = BytesOf(out);
    ASSERT_EQ(all.size(), 19u + 7u);
    EXPECT_EQ(Crc16(Bytes(all.begin(), all.begin() + 19)), 0) << "the delayed reply keeps its place";
    EXPECT_EQ(Bytes(all.begin() + 19, all.end()), EncodeRtu(Bytes{2, 17, 2, 0x8E, 0xFF}));
    EXPECT_GE(out[19].at - out[18].at,
              FrameSilence(*LineModeFromIndex(6), 9600) + CharacterTime(*LineModeFromIndex(6), 9600));
}

TEST_F(SlaveLinkTest, AdapterHabitsWrapWhatTheMasterReceives) {
    const Bytes none;
    struct Case {
        int mode;
        std::uint8_t address; // 9 has no controller
        LineHabits habits;
        std::string answer;
    };
    for (const Case& c : std::vector<Case>{
             {6, 2, {true, none, none}, "ok,echoed"},
             {6, 2, {false, {0x00}, none}, "ok,stray"},
             {6, 2, {false, none, {0x00}}, "ok,trail"},
             {6, 2, {true, {0xFF, 0x00}, {0x00}}, "ok,stray,trail,echoed"},
             {6, 9, {true, {0x00}, {0x00}}, "no-device,echoed"},
             {0, 2, {true, none, none}, "ok,echoed"},
             {0, 2, {true, {0x00}, {0x00}}, "ok,stray,trail,echoed"},
             {0, 9, {true, none, none}, "no-device,echoed"},
         }) {
        const std::string name = "mode " + std::to_string(c.mode) + " " + c.answer;
        const bool ascii = c.mode <= 2;
        faults_.settings().habits = c.habits;
        SlaveLink link = makeLink(c.mode);
        const Bytes request = EncodeFrame(ascii, Bytes{c.address, 17});
        link.receive(1s, request);
        const std::vector<Delivery> out = Drain(link);

        Bytes expected = c.habits.echo ? request : none;
        if (c.address == 2) {
            const Bytes reply = FrameOnTheLine(c.habits, EncodeFrame(ascii, Bytes{2, 17, 2, 0x8E, 0xFF}));
            expected.insert(expected.end(), reply.begin(), reply.end());
        }
        EXPECT_EQ(BytesOf(out), expected) << name;
        EXPECT_EQ(log_.back(), "1000 " + std::to_string(c.address) + " 17 - - " + c.answer) << name;
        const std::size_t echoed = c.habits.echo ? request.size() : 0;
        for (std::size_t k = 0; k < out.size(); ++k) {
            EXPECT_EQ(out[k].at == 1s, k < echoed) << name << ": the echo comes at once, the reply paced";
        }
    }
}

TEST_F(SlaveLinkTest, LateRepliesLandInTheNextExchangesInTurn) {
    SlaveLink link = makeLink(6, 9600, 5ms);
    faults_.settings().extraDelay = 1500ms;
    // A master with a 1 s time-out has moved on to the next address by the time each reply comes.
    const std::vector<std::pair<std::uint8_t, std::uint8_t>> idAt{{1, 0x8E}, {2, 0x8E}, {5, 77}};
    for (std::size_t i = 0; i < idAt.size(); ++i) {
        link.receive(Micros{1s} * static_cast<long long>(i), EncodeRtu(Bytes{idAt[i].first, 17}));
    }
    const std::vector<Delivery> out = Drain(link);
    ASSERT_EQ(out.size(), 7u * idAt.size());
    const Micros character = CharacterTime(*LineModeFromIndex(6), 9600);
    for (std::size_t i = 0; i < idAt.size(); ++i) {
        const auto first = out.begin() + static_cast<long>(7 * i);
        EXPECT_EQ(BytesOf({first, first + 7}), EncodeRtu(Bytes{idAt[i].first, 17, 2, idAt[i].second, 0xFF}));
        EXPECT_EQ(first->at, 1505ms + Micros{1s} * static_cast<long long>(i) + character);
    }
}

TEST_F(SlaveLinkTest, TheSameSeedGivesTheSameFaults) {
    auto run = [](std::uint64_t seed) {
        Bus bus(BusSetup{{1}, {}, seed, 1.0});
        FaultInjector faults(seed);
        faults.settings().drop = 0.5;
        faults.settings().corrupt = 0.3;
        std::vector<std::string> log;
        SlaveLink link(LinkSetup{*LineModeFromIndex(6), 9600, 5ms}, bus, faults,
                       [&log](const std::string& line) { log.push_back(line); });
        for (int i = 0; i < 40; ++i) {
            link.receive(Micros{i * 100'000}, kPollRtu);
            Drain(link);
        }
        return log;
    };
    EXPECT_EQ(run(3), run(3));
    EXPECT_NE(run(3), run(4));
}

} // namespace
} // namespace hz70::sim
