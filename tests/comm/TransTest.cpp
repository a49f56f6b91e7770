// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/Trans.h"

#include "comm/ModbusChecksum.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/RtuFrame.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace hz70 {
namespace {

using test::Bytes;
using test::FakeClock;
using test::FakeSerialPort;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using enum ExchangeResult;

constexpr int kAsciiMode = 0;
constexpr int kRtuMode = 6;

Bytes Rtu(Bytes frame) {
    return test::WithCrc(std::move(frame));
}

std::string Ascii(const Bytes& frame) {
    std::string line = ":";
    Bytes withLrc = frame;
    withLrc.push_back(Lrc(frame));
    for (const std::uint8_t byte : withLrc) {
        line += HexDigit(byte >> 4);
        line += HexDigit(byte);
    }
    return line + "\r\n";
}

// A function-3 reply from `address` carrying `words`.
Bytes ReadReply(std::uint8_t address, const std::vector<std::uint16_t>& words) {
    Bytes frame{address, 3, static_cast<std::uint8_t>(2 * words.size())};
    for (const std::uint16_t word : words) {
        frame.push_back(static_cast<std::uint8_t>(word >> 8));
        frame.push_back(static_cast<std::uint8_t>(word & 0xFF));
    }
    return frame;
}

// Keeps the events the link reported, with their bytes.
struct EventLog final : LinkTrace {
    std::vector<LinkEvent> events;
    std::vector<Bytes> bytes;
    void Record(const LinkTraceEntry& entry) override {
        events.push_back(entry.event);
        bytes.emplace_back(entry.bytes.begin(), entry.bytes.end());
    }
    [[nodiscard]] bool Saw(LinkEvent event) const {
        return std::find(events.begin(), events.end(), event) != events.end();
    }
    // The bytes of every `event` reported, in order.
    [[nodiscard]] std::vector<Bytes> BytesOf(LinkEvent event) const {
        std::vector<Bytes> found;
        for (std::size_t i = 0; i < events.size(); ++i) {
            if (events[i] == event) {
                found.push_back(bytes[i]);
            }
        }
        return found;
    }
};

class TransTest : public ::testing::Test {
protected:
    // Each tick query moves the fake clock on by 1 ms, so blocking waits end by their time-out.
    FakeClock clock{1'000'000, 1};
    FakeSerialPort port;
    TTrans trans{port, clock};

    void UseMode(int mode, int timeout = 200) {
        TTransSettings s;
        s.Mode = mode;
        s.Timeout = timeout;
        (void)trans.SetSettings(s);
    }

    // The port closed and reopened in `mode`, past the bus pause: a line the link knows nothing of.
    void Reconnect(int mode) {
        trans.Close();
        UseMode(mode);
        clock.Advance(100);
    }

    ExchangeResult WriteValue(std::uint16_t value, std::uint8_t address = 1, std::uint16_t reg = 4016) {
        trans.ResetPayload();
        (void)trans.PutValue('i', &value);
        return trans.WriteRegister(address, reg);
    }

    // Answers every request with `reply` at once.
    void AnswerWith(const Bytes& reply) {
        port.onWrite = [this, reply](const Bytes&) { port.Arrive(reply); };
    }

    // Runs the polled read until it stops answering 25, advancing 100 ms per tick like the poll timer.
    ExchangeResult PollUntilDone(std::uint8_t address = 1, std::uint16_t reg = 4018,
                                 std::uint16_t count = 7) {
        for (int tick = 0; tick < 1000; ++tick) {
            const ExchangeResult result = trans.ReadRegistersAsync(address, reg, count);
            if (result != kBusy) {
                return result;
            }
            clock.Advance(100);
        }
        return kBusy;
    }

    std::vector<std::uint16_t> ReadWords(int count) {
        std::vector<std::uint16_t> words;
        for (int i = 0; i < count; ++i) {
            std::uint16_t word = 0;
            EXPECT_TRUE(trans.GetValue('i', &word));
            words.push_back(word);
        }
        return words;
    }
};

// --- link settings, open and close ---

TEST_F(TransTest, ReplyTimeoutComesFromSettingsOrTheBaudTableAndIsCapped) {
    using Source = ReplyTimeoutChoice::Source;
    struct Case {
        int baud, timeout, expected;
        Source source;
    };
    for (const Case c : {Case{5, 99, 1500, Source::BaudDefault}, Case{5, 100, 100, Source::Given},
                         Case{0, -1, 5000, Source::BaudDefault}, Case{2, -1, 3900, Source::BaudDefault},
                         Case{3, -1, 2100, Source::BaudDefault}, Case{9, 250, 250, Source::Given},
                         Case{5, 600000, 600000, Source::Given}, Case{5, 600001, 600000, Source::Capped},
                         Case{5, 2000000000, 600000, Source::Capped}}) {
        TTransSettings s;
        s.Baud = c.baud;
        s.Timeout = c.timeout;
        (void)trans.SetSettings(s);
        EXPECT_EQ(trans.replyTimeout(), c.expected) << "baud " << c.baud << " timeout " << c.timeout;
        EXPECT_EQ(ChooseReplyTimeout(s).source, c.source) << "timeout " << c.timeout;
        TTransSettings kept;
        trans.GetSettings(kept);
        EXPECT_EQ(kept.Timeout, c.timeout); // handed back as given, for the settings file
    }
    TTransSettings s;
    s.Baud = 5;
    s.Mode = 0;
    (void)trans.SetSettings(s);
    EXPECT_EQ(trans.dcbText(), "9600,N,8,1");
    s.Baud = 9;
    s.Mode = 4;
    (void)trans.SetSettings(s);
    EXPECT_EQ(trans.dcbText(), "115200,E,8,1");
}

TEST_F(TransTest, SettingsOutsideTheTablesAreRefusedAndChangeNothing) {
    TTransSettings good{2, 6, 4, 7, 300};
    (void)trans.SetSettings(good);
    for (const TTransSettings bad :
         {TTransSettings{8, 5, 0, 0, -1}, TTransSettings{-1, 5, 0, 0, -1}, TTransSettings{0, 10, 0, 0, -1},
          TTransSettings{0, -1, 0, 0, -1}, TTransSettings{0, 5, 7, 0, -1}, TTransSettings{0, 5, -1, 0, -1}}) {
        EXPECT_FALSE(trans.SetSettings(bad));
        TTransSettings got;
        trans.GetSettings(got);
        EXPECT_EQ(got, good);
        EXPECT_EQ(trans.baudIndex(), 6);
        EXPECT_EQ(trans.modeIndex(), 4);
    }
    EXPECT_TRUE(port.calls.empty());
}

TEST_F(TransTest, SetSettingsOnAClosedPortStoresOnlyAndOpenAppliesThem) {
    TTransSettings s{3, 7, 5, 42, 99};
    EXPECT_FALSE(trans.SetSettings(s));
    EXPECT_TRUE(port.calls.empty());
    TTransSettings got;
    trans.GetSettings(got);
    EXPECT_EQ(got, s); // Type and Timeout come back exactly as handed in

    EXPECT_EQ(trans.Open(3), PortState::OpenOn(3));
    EXPECT_EQ(port.openedName, "COM4");
    EXPECT_THAT(port.calls, ElementsAre("Open", "SetQueueSizes", "SaveState", "SetImmediateReads", "Apply",
                                        "Apply", "ClearRts", "Purge"));
    ASSERT_EQ(port.applied.size(), 2u);
    EXPECT_EQ(port.applied[0].baudRate, 110);
    EXPECT_EQ(port.applied[1], (LineConfig{38400, 'O', 8, 1, true}));
}

TEST_F(TransTest, OpeningTheOpenPortTouchesNothingAndAnotherComKeepsTheOpenPort) {
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    port.calls.clear();
    port.Arrive("queued");
    EXPECT_EQ(trans.Open(0), PortState::OpenOn(0));
    EXPECT_TRUE(port.calls.empty());
    EXPECT_EQ(port.pendingInput(), 6u);

    TTransSettings s;
    s.COM = 5;
    EXPECT_TRUE(trans.SetSettings(s));
    EXPECT_EQ(trans.portState(), PortState::OpenOn(0));
    EXPECT_EQ(port.CallCount("Open"), 0);
    EXPECT_EQ(trans.portIndex(), 5);

    // Only after Close does the next exchange open the new port.
    trans.Close();
    (void)trans.ReadRegistersAsync(1, 4018, 7);
    EXPECT_EQ(port.openedName, "COM6");
}

TEST_F(TransTest, AFailedOpenSticksUntilClose) {
    port.openSucceeds = false;
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kPortNotOpen);
    EXPECT_EQ(trans.portState(), PortState::OpenFailed());
    port.openSucceeds = true;
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kPortNotOpen);
    (void)trans.SetSettings(TTransSettings{});
    EXPECT_EQ(trans.ReadRegisters(1, 4000, 16), kPortNotOpen);
    std::uint8_t id = 0;
    EXPECT_EQ(trans.ReportSlaveId(1, &id), kPortNotOpen);
    EXPECT_EQ(port.CallCount("Open"), 1);
    EXPECT_TRUE(port.writes.empty());

    trans.Close();
    EXPECT_EQ(trans.portState(), PortState::Closed());
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    EXPECT_EQ(port.CallCount("Open"), 2);
    EXPECT_EQ(port.writes.size(), 1u);
}

TEST_F(TransTest, CloseHandsThePortBackAndGoesIdle) {
    UseMode(kRtuMode);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    EXPECT_TRUE(trans.awaitingReply());
    port.calls.clear();
    trans.Close();
    EXPECT_THAT(port.calls, ElementsAre("Purge", "RestoreState", "ClearDtr", "ClearRts", "Close"));
    EXPECT_FALSE(trans.awaitingReply());
    EXPECT_EQ(trans.portState(), PortState::Closed());
}

TEST_F(TransTest, SendNeedsAnOpenPortAndEmptiesTheRing) {
    const std::uint8_t bytes[] = {1, 2, 3};
    EXPECT_FALSE(trans.Send(bytes, 3));
    EXPECT_TRUE(port.writes.empty());

    UseMode(kRtuMode);
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    EXPECT_EQ(trans.Send(bytes, 3), 3);
    // A complete, valid reply that was received before the request must never be taken as its answer,
    // even once more input comes.
    port.Arrive(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    ASSERT_EQ(trans.ReadInput(), 19);
    clock.Advance(100);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Bytes{0x00});
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.writeSucceeds = false;
    EXPECT_EQ(trans.Send(bytes, 3), 0); // a failed write is not a negative result
}

TEST_F(TransTest, ReadInputCopesWithOverflowUnreadableStateAndAFullRing) {
    EventLog log;
    trans.SetTrace(&log);
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    port.Arrive("abc");
    port.overflowPending = true;
    EXPECT_EQ(trans.ReadInput(), 0);
    EXPECT_EQ(port.pendingInput(), 0u);

    port.errorStateReadable = false;
    port.Arrive("abc");
    EXPECT_FALSE(trans.ReadInput());
    port.errorStateReadable = true;
    port.Purge(SerialPort::RxClear);

    // 510 bytes, then 4 more: a read takes only what the ring holds, and a full ring gives its older half
    // up, so it never overruns its unread bytes.
    port.Arrive(Bytes(510, 0x55));
    EXPECT_EQ(trans.ReadInput(), 510);
    port.Arrive(Bytes{1, 2, 3, 4});
    EXPECT_EQ(trans.ReadInput(), 4);
    EXPECT_EQ(port.pendingInput(), 3u);
    EXPECT_TRUE(log.BytesOf(LinkEvent::BytesSkipped).empty());
    EXPECT_EQ(trans.ReadInput(), 3);
    EXPECT_EQ(port.pendingInput(), 0u);
    EXPECT_EQ(log.BytesOf(LinkEvent::BytesSkipped), std::vector<Bytes>{Bytes(256, 0x55)});
}

// --- request framing ---

TEST_F(TransTest, ReadRequestIsFramedExactlyInRtuAndAscii) {
    UseMode(kRtuMode);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_THAT(port.writes[0], ElementsAre(0x01, 0x03, 0x0F, 0xB2, 0x00, 0x07, 0xA7, 0x3B));

    trans.Close();
    UseMode(kAsciiMode);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[1], test::ToBytes(":01030FB2000734\r\n"));
}

TEST_F(TransTest, WriteAndSlaveIdRequestsAreFramedWithTheirHeaders) {
    UseMode(kRtuMode);
    AnswerWith(Rtu({1, 6, 0x0F, 0xB0, 0x00, 0xC8}));
    trans.ResetPayload();
    const std::uint16_t value = 200;
    ASSERT_TRUE(trans.PutValue('i', &value));
    EXPECT_EQ(trans.WriteRegister(1, 4016), kWriteOk);
    EXPECT_EQ(port.writes.back(), Rtu({1, 6, 0x0F, 0xB0, 0x00, 0xC8}));

    trans.Close();
    UseMode(kAsciiMode);
    AnswerWith(test::ToBytes(Ascii({0x11, 0x11, 2, 0x8E, 0xFF})));
    std::uint8_t id = 0;
    EXPECT_EQ(trans.ReportSlaveId(0x11, &id), kSlaveIdOk);
    EXPECT_EQ(port.writes.back(), test::ToBytes(":1111DE\r\n"));
    EXPECT_EQ(id, 0x8E);
}

TEST_F(TransTest, RequestsThatDoNotFitTheLineAreRefused) {
    UseMode(kAsciiMode);
    trans.ResetPayload();
    const std::uint16_t word = 1;
    // 46 payload bytes make a 50-byte frame: 105 characters in ASCII.
    for (int i = 0; i < 23; ++i) {
        ASSERT_TRUE(trans.PutValue('i', &word));
    }
    EXPECT_EQ(trans.WriteRegister(1, 4000), kRefused);
    EXPECT_TRUE(port.writes.empty());
    // The refused payload is gone: the next write needs a fresh value.
    EXPECT_EQ(trans.WriteRegister(1, 4000), kRefused);
}

TEST_F(TransTest, AddressZeroAndAnEmptyPayloadAreRefusedBeforeSending) {
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    EXPECT_EQ(trans.ReadRegistersAsync(0, 4018, 7), kRefused);
    EXPECT_EQ(trans.ReadRegisters(0, 4000, 16), kRefused);
    EXPECT_EQ(trans.WriteRegister(1, 4016), kRefused);
    EXPECT_TRUE(port.writes.empty());
}

// --- reply parsing ---

TEST_F(TransTest, RtuReplyInPiecesIsTakenOnceItsLastCrcByteArrives) {
    EventLog log;
    trans.SetTrace(&log);
    UseMode(kRtuMode);
    const Bytes reply = Rtu(ReadReply(1, {200, 0xFFEC, 3, 4, 5, 6, 7}));
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    for (std::size_t i = 0; i + 1 < reply.size(); i += 5) {
        port.Arrive(Bytes(reply.begin() + static_cast<long>(i),
                          reply.begin() + static_cast<long>(std::min(i + 5, reply.size() - 1))));
        clock.Advance(10);
        EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    }
    // The last CRC byte, followed by bytes that belong to nothing.
    port.Arrive(Bytes{reply.back(), 0x01, 0x03, 0x99});
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kReadOk);
    EXPECT_EQ(log.BytesOf(LinkEvent::BytesSkipped), (std::vector<Bytes>{{0x01, 0x03, 0x99}}));
    EXPECT_THAT(trans.ReplyRegisters(), ElementsAre(200, 0xFFEC, 3, 4, 5, 6, 7));
    EXPECT_THAT(ReadWords(7), ElementsAre(200, 0xFFEC, 3, 4, 5, 6, 7));
    std::uint16_t beyond = 0;
    EXPECT_FALSE(trans.GetValue('i', &beyond));
}

TEST_F(TransTest, AsciiReplySplitOverTicksIsTakenAtItsLineFeedAndLeadingNoiseIsDropped) {
    EventLog log;
    trans.SetTrace(&log);
    UseMode(kAsciiMode);
    const std::string reply = "#~x" + Ascii(ReadReply(1, {1, 2, 3, 4, 5, 6, 7}));
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    const std::size_t cut = reply.size() - 1;
    for (std::size_t i = 0; i < cut; i += 7) {
        port.Arrive(reply.substr(i, std::min<std::size_t>(7, cut - i)));
        clock.Advance(100);
        EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    }
    port.Arrive("\n");
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kReadOk);
    EXPECT_EQ(log.BytesOf(LinkEvent::BytesSkipped), std::vector<Bytes>{test::ToBytes("#~x")});
    EXPECT_THAT(ReadWords(7), ElementsAre(1, 2, 3, 4, 5, 6, 7));
}

TEST_F(TransTest, LowerCaseAsciiDigitsAreNeverAccepted) {
    UseMode(kAsciiMode);
    std::string reply = Ascii(ReadReply(1, {0xABCD, 2, 3, 4, 5, 6, 7}));
    for (char& c : reply) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    AnswerWith(test::ToBytes(reply));
    EXPECT_EQ(PollUntilDone(), kNoReply);
}

TEST_F(TransTest, RepliesThatDoNotAnswerTheRequestGiveNoReply) {
    UseMode(kRtuMode);
    AnswerWith(Rtu(ReadReply(2, {1, 2, 3, 4, 5, 6, 7})));
    EXPECT_EQ(PollUntilDone(1), kNoReply) << "another slave's reply";

    clock.Advance(100);
    AnswerWith(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    clock.Advance(100);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4000, 7), kNoReply) << "polled for another register";
}

TEST_F(TransTest, FunctionThreeReplyWithAWrongByteCountIsIgnored) {
    for (const int mode : {kRtuMode, kAsciiMode}) {
        trans.Close();
        UseMode(mode);
        Bytes reply = ReadReply(1, {1, 2, 3, 4, 5, 6, 7});
        reply[2] = 12;
        const Bytes wire = mode == kRtuMode ? Rtu(reply) : test::ToBytes(Ascii(reply));
        AnswerWith(wire);
        EXPECT_EQ(PollUntilDone(), kNoReply) << "mode " << mode;
        clock.Advance(100);
    }
}

TEST_F(TransTest, ExceptionRepliesGiveTheFlaggedFunctionAndTheirCode) {
    UseMode(kRtuMode);
    AnswerWith(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    ASSERT_EQ(PollUntilDone(), kReadOk) << "registers that no later reply may leave behind";
    for (const int mode : {kRtuMode, kAsciiMode}) {
        clock.Advance(100);
        trans.Close();
        UseMode(mode);
        const Bytes reply{1, 0x83, 2};
        AnswerWith(mode == kRtuMode ? Rtu(reply) : test::ToBytes(Ascii(reply)));
        EXPECT_EQ(PollUntilDone(), ExceptionReplyTo(kReadHoldingRegisters));
        EXPECT_TRUE(trans.ReplyRegisters().empty());
        std::uint8_t code = 0;
        EXPECT_TRUE(trans.GetValue('c', &code));
        EXPECT_EQ(code, 2);
    }
    clock.Advance(100);

    const Bytes refused{1, 0x86, 3};
    AnswerWith(test::ToBytes(Ascii(refused)));
    trans.ResetPayload();
    const std::uint16_t value = 9999;
    (void)trans.PutValue('i', &value);
    EXPECT_EQ(trans.WriteRegister(1, 4000), ExceptionReplyTo(kWriteSingleRegister));
    std::uint8_t code = 0;
    EXPECT_TRUE(trans.GetValue('c', &code));
    EXPECT_EQ(code, 3);
}

TEST_F(TransTest, AcceptedAsciiReplyIsNotSpoiltByAPartialOneBehindIt) {
    UseMode(kAsciiMode);
    AnswerWith(test::ToBytes(Ascii(ReadReply(1, {11, 12, 13, 14, 15, 16, 17})) + ":0103FF"));
    EXPECT_EQ(PollUntilDone(), kReadOk);
    EXPECT_THAT(ReadWords(7), ElementsAre(11, 12, 13, 14, 15, 16, 17));
}

TEST_F(TransTest, GarbageLongerThanAnyReplyIsDroppedWithoutOverrun) {
    UseMode(kRtuMode);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Bytes(400, 0x5A));
    clock.Advance(100);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    clock.Advance(100);
    // Whatever the scan makes of it, it stays inside its buffers and the exchange ends.
    const ExchangeResult result = PollUntilDone();
    EXPECT_TRUE(result == kReadOk || result == kNoReply) << ToInt(result);

    trans.Close();
    UseMode(kAsciiMode);
    clock.Advance(100);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(":" + std::string(505, 'A')); // 252 bytes' worth of digits
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Ascii(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    clock.Advance(100);
    EXPECT_EQ(PollUntilDone(), kReadOk);
}

TEST_F(TransTest, FramesTooShortToHoldAnAddressFunctionAndCheckAreNotReplies) {
    UseMode(kAsciiMode);
    AnswerWith(test::ToBytes(":\r\n:00\r\n"));
    EXPECT_EQ(PollUntilDone(), kNoReply);

    trans.Close();
    UseMode(kRtuMode);
    clock.Advance(100);
    AnswerWith(Bytes{0xFF, 0xFF}); // the CRC of nothing
    EXPECT_EQ(PollUntilDone(), kNoReply);
}

// --- timing ---

TEST_F(TransTest, PolledReadKeepsSixtyMillisecondsOfQuietBeforeTheNextRequest) {
    UseMode(kRtuMode);
    AnswerWith(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    clock.SetAutoAdvance(0);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kReadOk);
    clock.Advance(59);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    EXPECT_EQ(port.writes.size(), 1u);
    clock.Advance(1);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    EXPECT_EQ(port.writes.size(), 2u);
}

TEST_F(TransTest, TimeoutRestartsWhenBytesArriveAndSurvivesTheTickWrap) {
    EventLog log;
    trans.SetTrace(&log);
    UseMode(kRtuMode, 200);
    clock.SetAutoAdvance(0);
    clock.Set(0xFFFFFFFFu - 150); // the tick wraps during the wait
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    clock.Advance(150);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy); // wait starts here
    clock.Advance(190);
    port.Arrive(Bytes{0x01, 0x03});
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy); // bytes arrive: the wait restarts
    clock.Advance(200);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy); // exactly the time-out: still waiting
    clock.Advance(1);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kNoReply);
    EXPECT_EQ(log.BytesOf(LinkEvent::BytesSkipped), (std::vector<Bytes>{{0x01, 0x03}}))
        << "the ring is emptied";
}

TEST_F(TransTest, AMinuteOfSilenceReappliesTheLinkAtTheNextTimeout) {
    UseMode(kRtuMode, 1000);
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    clock.Set(100'000);
    clock.SetAutoAdvance(0);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.applied.clear();
    (void)trans.ReadRegistersAsync(1, 4018, 7);
    clock.Advance(1001);
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kNoReply);
    EXPECT_EQ(port.applied.size(), 2u) << "silent since start: re-applied";

    // Input within the last minute: a time-out does not re-apply.
    clock.Advance(100);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Bytes{0x77});
    (void)trans.ReadRegistersAsync(1, 4018, 7);
    clock.Advance(1001);
    port.applied.clear();
    EXPECT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kNoReply);
    EXPECT_TRUE(port.applied.empty());
}

// --- blocking exchanges ---

TEST_F(TransTest, BlockingReadRepeatsExactlyOnce) {
    UseMode(kRtuMode);
    ASSERT_EQ(trans.Open(0), PortState::OpenOn(0));
    EXPECT_EQ(trans.ReadRegisters(1, 4000, 16), kNoReply);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[0], port.writes[1]);
    EXPECT_EQ(clock.sleptMs(), TTrans::kBlockingPause);

    // A reply from another slave counts as a failure too; the repeat then succeeds.
    int requests = 0;
    port.onWrite = [&](const Bytes&) {
        port.Arrive(Rtu(ReadReply(++requests == 1 ? 9 : 1, std::vector<std::uint16_t>(16, 7))));
    };
    EXPECT_EQ(trans.ReadRegisters(1, 4000, 16), kReadOk);
    EXPECT_EQ(requests, 2);
    EXPECT_FALSE(trans.awaitingReply());
    EXPECT_THAT(ReadWords(16), ElementsAreArray(std::vector<std::uint16_t>(16, 7)));
}

TEST_F(TransTest, WriteAndSlaveIdNeverRepeatAndPauseBySleeping) {
    UseMode(kAsciiMode);
    std::uint8_t id = 0x55;
    EXPECT_EQ(trans.ReportSlaveId(1, &id), kNoReply);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(id, 0x55);
    EXPECT_EQ(clock.sleptMs(), TTrans::kBlockingPause);

    // The silent line has shown that it does not echo, so the write goes out alone.
    trans.ResetPayload();
    const std::uint16_t value = 5;
    (void)trans.PutValue('i', &value);
    EXPECT_EQ(trans.WriteRegister(1, 4010), kNoReply);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(clock.sleptMs(), 2 * TTrans::kBlockingPause);
}

TEST_F(TransTest, BlockingExchangeFirstFinishesAPendingPollAndDropsItsResult) {
    UseMode(kRtuMode);
    ASSERT_EQ(trans.ReadRegistersAsync(1, 4018, 7), kBusy);
    port.Arrive(Rtu(ReadReply(1, {1, 2, 3, 4, 5, 6, 7})));
    AnswerWith(Rtu({1, 0x11, 2, 0x8E, 0xFF}));
    std::uint8_t id = 0;
    EXPECT_EQ(trans.ReportSlaveId(1, &id), kSlaveIdOk);
    EXPECT_EQ(id, 0x8E);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_FALSE(trans.awaitingReply());
}

TEST_F(TransTest, SlaveIdReplyTooShortToHoldAnIdLeavesItAlone) {
    UseMode(kRtuMode);
    AnswerWith(Rtu({1, 0x11, 0}));
    std::uint8_t id = 0x42;
    EXPECT_EQ(trans.ReportSlaveId(1, &id), kSlaveIdOk);
    EXPECT_EQ(id, 0x42);
}

// --- real lines ---

// What a two-wire adapter does to the bytes between master and slave.
struct LineHabit {
    const char* name;
    bool echo;    // the request comes back at once
    Bytes before; // reaches the master just before each reply
    Bytes after;  // just after it
};

const LineHabit kLineHabits[] = {
    {"clean", false, {}, {}},
    {"echo", true, {}, {}},
    {"stray byte", false, {0xFF}, {}},
    {"trailing NUL", false, {}, {0x00}},
    {"echo, stray byte and trailing NUL", true, {0x00}, {0x00}},
};

// The frame of a request as the slave decodes it, without its check.
Bytes RequestFrame(const Bytes& line, bool rtu) {
    if (rtu) {
        return Bytes(line.begin(), line.end() - 2);
    }
    Bytes frame;
    for (std::size_t i = 1; i + 4 < line.size(); i += 2) {
        frame.push_back(static_cast<std::uint8_t>(HexValue(line[i]) << 4 | HexValue(line[i + 1])));
    }
    return frame;
}

// Puts an HZ70 at address 1 (or nobody, when `present` is false) behind a line with `habit`.
void Serve(FakeSerialPort& port, const LineHabit& habit, bool rtu, bool present) {
    port.onWrite = [&port, habit, rtu, present](const Bytes& request) {
        if (habit.echo) {
            port.Arrive(request);
        }
        const Bytes frame = RequestFrame(request, rtu);
        if (!present || frame[0] != 1) {
            return;
        }
        Bytes reply = frame; // a write is answered with its request
        if (frame[1] == 3) {
            reply = ReadReply(1, std::vector<std::uint16_t>(frame[5], 7));
        } else if (frame[1] == 0x11) {
            reply = {1, 0x11, 2, 0x8E, 0xFF};
        }
        port.Arrive(habit.before);
        port.Arrive(rtu ? Rtu(reply) : test::ToBytes(Ascii(reply)));
        port.Arrive(habit.after);
    };
}

TEST_F(TransTest, EveryExchangeWorksOnEveryLineHabit) {
    for (const int mode : {kRtuMode, kAsciiMode}) {
        for (const LineHabit& habit : kLineHabits) {
            SCOPED_TRACE(std::string(habit.name) + (mode == kRtuMode ? " RTU" : " ASCII"));
            Reconnect(mode);
            Serve(port, habit, mode == kRtuMode, true);
            // A write first: the link finds out how the line behaves before it writes.
            EXPECT_EQ(WriteValue(1), kWriteOk);
            EXPECT_EQ(trans.ReadRegisters(1, 4018, 7), kReadOk);
            EXPECT_THAT(ReadWords(7), ElementsAreArray(std::vector<std::uint16_t>(7, 7)));
            std::uint8_t id = 0;
            EXPECT_EQ(trans.ReportSlaveId(1, &id), kSlaveIdOk);
            EXPECT_EQ(id, 0x8E);
            clock.Advance(100);
            EXPECT_EQ(PollUntilDone(), kReadOk);
            EXPECT_EQ(WriteValue(1), kWriteOk);
        }
    }
}

TEST_F(TransTest, OnAnEchoingLineTheEchoIsNeverTakenForAReply) {
    EventLog log;
    trans.SetTrace(&log);
    for (const int mode : {kRtuMode, kAsciiMode}) {
        SCOPED_TRACE(mode);
        Reconnect(mode);
        Serve(port, kLineHabits[1], mode == kRtuMode, false);
        EXPECT_EQ(WriteValue(1), kNoReply) << "write before the line is known";
        std::uint8_t id = 0x55;
        EXPECT_EQ(trans.ReportSlaveId(1, &id), kNoReply);
        EXPECT_EQ(id, 0x55);
        EXPECT_EQ(trans.ReadRegisters(1, 4018, 7), kNoReply);
        clock.Advance(100);
        EXPECT_EQ(PollUntilDone(), kNoReply);
        EXPECT_EQ(WriteValue(1), kNoReply) << "write once the line is known";
    }
    EXPECT_TRUE(log.Saw(LinkEvent::EchoDropped));
    EXPECT_TRUE(log.Saw(LinkEvent::TimedOut));
}

TEST_F(TransTest, ALateReplyToAnEarlierRequestIsPassedOver) {
    EventLog log;
    trans.SetTrace(&log);
    for (const int mode : {kRtuMode, kAsciiMode}) {
        SCOPED_TRACE(mode);
        Reconnect(mode);
        const auto line = [mode](const Bytes& frame) {
            return mode == kRtuMode ? Rtu(frame) : test::ToBytes(Ascii(frame));
        };
        // The slave-id reply comes only after the master has moved on to the next request.
        std::uint8_t id = 0;
        EXPECT_EQ(trans.ReportSlaveId(1, &id), kNoReply);
        port.onWrite = [&](const Bytes&) {
            port.Arrive(line({1, 0x11, 2, 0x8E, 0xFF}));
            port.Arrive(line(ReadReply(1, {4, 5})));
        };
        EXPECT_EQ(trans.ReadRegisters(1, 4018, 2), kReadOk);
        EXPECT_THAT(ReadWords(2), ElementsAre(4, 5));
        port.onWrite = [&](const Bytes&) { port.Arrive(line(ReadReply(1, {4, 5, 6}))); };
        EXPECT_EQ(trans.ReadRegisters(1, 4018, 2), kNoReply) << "a reply carrying other registers";
    }
    EXPECT_TRUE(log.Saw(LinkEvent::NotOurReply));
}

TEST_F(TransTest, OnAKnownCleanLineAWriteGoesOutAloneAsBefore) {
    UseMode(kRtuMode);
    Serve(port, kLineHabits[0], true, true);
    // Unknown line: the same register is read first.
    EXPECT_EQ(WriteValue(1), kWriteOk);
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[0], Rtu({1, 3, 0x0F, 0xB0, 0, 1}));
    EXPECT_EQ(port.writes[1], Rtu({1, 6, 0x0F, 0xB0, 0, 1}));
    // Known line: one request, one pause.
    const std::uint32_t slept = clock.sleptMs();
    EXPECT_EQ(WriteValue(1), kWriteOk);
    EXPECT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(clock.sleptMs() - slept, TTrans::kBlockingPause);
}

TEST_F(TransTest, WaitsSleepUntilInputOrTheirEndAndRequestsKeepTheirMoments) {
    UseMode(kRtuMode, 200);
    port.clock = &clock;
    clock.SetAutoAdvance(0);
    std::vector<std::uint32_t> sentAt;
    port.onWrite = [&](const Bytes&) { sentAt.push_back(clock.now()); };
    const std::uint32_t start = clock.now();
    EXPECT_EQ(trans.ReadRegisters(1, 4018, 7), kNoReply);
    EXPECT_THAT(sentAt, ElementsAre(start + TTrans::kBlockingPause, start + TTrans::kBlockingPause + 201));
    EXPECT_LE(port.waitCalls, 4) << "a silent line needs one wait per attempt";

    // Input that never stops restarts the time-out, but not past the bound.
    EventLog log;
    trans.SetTrace(&log);
    clock.onTick = [&](std::uint32_t now) {
        if (now % 10 == 0) {
            port.Arrive(Bytes{0x5A});
        }
    };
    const std::uint32_t before = clock.now();
    std::uint8_t id = 0;
    EXPECT_EQ(trans.ReportSlaveId(1, &id), kNoReply);
    EXPECT_EQ(clock.now() - before, TTrans::kBlockingPause + TTrans::kWaitBoundTimeouts * 200 + 1);
    EXPECT_TRUE(log.Saw(LinkEvent::InputNeverEnds));
}

// --- payload values ---

TEST_F(TransTest, PutValueStopsOnceThePayloadHoldsMoreThanAHundredBytes) {
    trans.ResetPayload();
    const std::uint32_t dword = 0;
    for (int i = 0; i < 25; ++i) {
        ASSERT_TRUE(trans.PutValue('l', &dword)); // 100 bytes
    }
    const std::uint8_t byte = 1;
    EXPECT_TRUE(trans.PutValue('c', &byte)); // 101
    EXPECT_FALSE(trans.PutValue('c', &byte));
    const std::string text(300, 'x');
    trans.ResetPayload();
    EXPECT_FALSE(trans.PutValue('s', text.c_str())) << "text longer than the frame";
}

TEST_F(TransTest, ValuesTravelInTheirByteOrders) {
    // Put every kind into a request, loop it back as a reply, and read it again.
    UseMode(kRtuMode);
    trans.ResetPayload();
    const std::uint8_t c = 0xA5;
    const std::uint16_t i = 0x1234;
    const std::uint32_t l = 0x89ABCDEF;
    const float f = 1.5f;
    const char* s = "HZ";
    for (const auto& [kind, value] : std::vector<std::pair<char, const void*>>{
             {'c', &c}, {'i', &i}, {'l', &l}, {'f', &f}, {'g', &f}, {'s', s}, {'?', &c}}) {
        ASSERT_TRUE(trans.PutValue(kind, value));
    }
    port.onWrite = [this](const Bytes& request) {
        if (request[1] == 3) {
            port.Arrive(Rtu(ReadReply(1, {0}))); // the read that learns whether the line echoes
            return;
        }
        Bytes reply(request.begin(), request.end() - 2);
        port.Arrive(Rtu(reply));
    };
    ASSERT_EQ(trans.WriteRegister(1, 0x0102), kWriteOk);
    const Bytes& wire = port.writes.back();
    EXPECT_THAT(Bytes(wire.begin() + 4, wire.end() - 2),
                ElementsAre(0xA5, 0x12, 0x34, 0x89, 0xAB, 0xCD, 0xEF, 0x3F, 0xC0, 0x00, 0x00, 0x00, 0x00,
                            0xC0, 0x3F, 'H', 'Z', 0));

    // The reply's read cursor is on byte 2: skip the register number first.
    std::uint16_t reg = 0;
    ASSERT_TRUE(trans.GetValue('i', &reg));
    EXPECT_EQ(reg, 0x0102);
    std::uint8_t c2 = 0;
    std::uint16_t i2 = 0;
    std::uint32_t l2 = 0;
    float f2 = 0, g2 = 0;
    char s2[8] = {};
    EXPECT_TRUE(trans.GetValue('c', &c2));
    EXPECT_TRUE(trans.GetValue('i', &i2));
    EXPECT_TRUE(trans.GetValue('l', &l2));
    EXPECT_TRUE(trans.GetValue('f', &f2));
    EXPECT_TRUE(trans.GetValue('g', &g2));
    EXPECT_TRUE(trans.GetValue('s', s2));
    EXPECT_EQ(c2, c);
    EXPECT_EQ(i2, i);
    EXPECT_EQ(l2, l);
    EXPECT_EQ(f2, f);
    EXPECT_EQ(g2, f);
    EXPECT_STREQ(s2, "HZ");
    EXPECT_TRUE(trans.GetValue('?', &c2));
    EXPECT_TRUE(trans.GetValue('c', &c2)) << "the cursor stays on the NUL";
    EXPECT_EQ(c2, 0);
    EXPECT_FALSE(trans.GetValue('c', &c2));
}

TEST_F(TransTest, FloatsOutsideTheRangeOrNotANumberReadAsTheNoValueMark) {
    UseMode(kRtuMode);
    const float mark = std::bit_cast<float>(0x60AD78ECu);
    for (const float bad :
         {std::numeric_limits<float>::quiet_NaN(), 3e20f, -2e20f, std::numeric_limits<float>::infinity()}) {
        const auto bits = std::bit_cast<std::uint32_t>(bad);
        Bytes reply{1, 3, 4};
        for (int shift = 24; shift >= 0; shift -= 8) {
            reply.push_back(static_cast<std::uint8_t>(bits >> shift));
        }
        AnswerWith(Rtu(reply));
        ASSERT_EQ(trans.ReadRegisters(1, 4018, 2), kReadOk);
        float f = 0;
        ASSERT_TRUE(trans.GetValue('f', &f));
        EXPECT_EQ(std::bit_cast<std::uint32_t>(f), 0x60AD78ECu) << bad;
        EXPECT_EQ(f, mark);
    }
}

} // namespace
} // namespace hz70
