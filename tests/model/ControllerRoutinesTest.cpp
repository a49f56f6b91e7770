// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Slohz70.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <gtest/gtest.h>
#include <vector>

namespace hz70 {
namespace {

using test::Bytes;
using test::FakeClock;
using test::FakeHz70Bus;
using test::FakeSerialPort;
using enum ExchangeResult;

constexpr std::uint8_t kAddress = 1;

class ControllerRoutinesTest : public ::testing::Test, protected test::FakeHz70Line {
protected:
    PollingState polling;
    TRegulator record;

    void SetUp() override {
        InitRegulator(record);
        record.address = kAddress;
        bus.slaves[kAddress].registers = {
            {4018, 0x8001}, {4019, 0x0010}, {4020, 0xFFEC}, {4021, 2345},
            {4022, 1000},   {4023, 15},     {4024, 0xFFF6},
        };
    }

    // Ticks the poll step every 100 ms until one exchange has ended; returns the step's last answer.
    PollOutcome PollAttempt() {
        for (int tick = 0; tick < 100; ++tick) {
            const PollOutcome result = PollStep(record, trans);
            if (record.lastResult != ToInt(kBusy)) {
                return result;
            }
            clock.Advance(100);
        }
        ADD_FAILURE() << "no exchange ended";
        return PollOutcome::kNotPolled;
    }

    // Records PollingEnabled as seen by the bus at each request.
    void WatchPollingFlag() {
        auto answer = port.onWrite;
        port.onWrite = [this, answer](const Bytes& line) {
            pollingSeen.push_back(polling.PollingEnabled);
            answer(line);
        };
    }
    std::vector<int> pollingSeen;
};

TEST_F(ControllerRoutinesTest, PollStepStoresSignedScaledValuesAndRawWords) {
    EXPECT_EQ(PollStep(record, trans), PollOutcome::kPending) << "the first tick only sends";
    ASSERT_EQ(bus.requests.size(), 1u);
    EXPECT_EQ(bus.requests[0].function, 3);
    EXPECT_EQ(bus.requests[0].reg, 4018);
    EXPECT_EQ(bus.requests[0].operand, 7);

    clock.Advance(100);
    EXPECT_EQ(PollStep(record, trans), PollOutcome::kUpdated);
    EXPECT_EQ(record.lastResult, ToInt(kReadOk));
    EXPECT_EQ(record.measured[kAlarmWord].raw, static_cast<std::int16_t>(0x8001));
    EXPECT_EQ(record.measured[kAlarmWord].value, 0.0) << "plain words carry no value";
    EXPECT_EQ(record.measured[kStatusWord].raw, 0x0010);
    EXPECT_EQ(record.measured[kStatusWord].value, 0.0);
    EXPECT_DOUBLE_EQ(record.measured[kMeasuredTemperature].value, -2.0);
    EXPECT_DOUBLE_EQ(record.measured[kCurrentSetpoint].value, 234.5);
    EXPECT_DOUBLE_EQ(record.measured[kOutputPower].value, 100.0);
    EXPECT_DOUBLE_EQ(record.measured[kLoadCurrent].value, 1.5);
    EXPECT_DOUBLE_EQ(record.measured[kLeakageCurrent].value, -1.0);
    EXPECT_EQ(record.commError, 0);
}

TEST_F(ControllerRoutinesTest, ThirdFailureClearsValuesAndAGoodReplyResetsOnlyTheCount) {
    ASSERT_EQ(PollAttempt(), PollOutcome::kUpdated);
    bus.slaves[kAddress].silent = true;

    EXPECT_EQ(PollAttempt(), PollOutcome::kPending);
    EXPECT_EQ(record.failCount, 1);
    EXPECT_EQ(record.commError, 1);
    EXPECT_EQ(PollAttempt(), PollOutcome::kPending);
    EXPECT_EQ(record.failCount, 2);
    EXPECT_DOUBLE_EQ(record.measured[kMeasuredTemperature].value, -2.0) << "values kept while retrying";
    EXPECT_EQ(record.lastResult, ToInt(kNoReply));

    EXPECT_EQ(PollAttempt(), PollOutcome::kFailed);
    EXPECT_EQ(record.failCount, 3);
    for (const TParametr& row : record.measured) {
        EXPECT_EQ(row.raw, 0);
        EXPECT_EQ(row.value, row.type == kScaledValue ? kNoValue : 0.0);
    }

    const std::size_t before = bus.requests.size();
    EXPECT_EQ(PollAttempt(), PollOutcome::kFailed) << "a fourth failure gives up at once";
    EXPECT_EQ(bus.requests.size(), before + 1);
    EXPECT_EQ(record.failCount, 3);

    bus.slaves[kAddress].silent = false;
    EXPECT_EQ(PollAttempt(), PollOutcome::kUpdated);
    EXPECT_EQ(record.failCount, 0);
    EXPECT_EQ(record.commError, 1) << "the poll cycle clears it, not the step";
    EXPECT_DOUBLE_EQ(record.measured[kCurrentSetpoint].value, 234.5);
}

TEST_F(ControllerRoutinesTest, PortThatCannotOpenFailsEveryStepAtOnce) {
    port.openSucceeds = false;
    EXPECT_EQ(PollStep(record, trans), PollOutcome::kPending);
    EXPECT_EQ(PollStep(record, trans), PollOutcome::kPending);
    EXPECT_EQ(PollStep(record, trans), PollOutcome::kFailed);
    EXPECT_EQ(record.lastResult, ToInt(kPortNotOpen));
    EXPECT_TRUE(port.writes.empty());
}

TEST_F(ControllerRoutinesTest, ReplyWithTooFewWordsIsAFailedAttempt) {
    bus.slaves[kAddress].readReplyWords = 3;
    EXPECT_EQ(PollAttempt(), PollOutcome::kPending);
    EXPECT_EQ(record.failCount, 1);
    EXPECT_EQ(record.lastResult, ToInt(kNoReply));
    EXPECT_EQ(record.measured[kLeakageCurrent].value, kNoValue);

    EXPECT_EQ(ReadSettings(record, trans, polling, 4000, 16), ReadOutcome::kFailed);
    EXPECT_EQ(record.settings[0].value, kNoValue);
}

TEST_F(ControllerRoutinesTest, AddressOutsideTheModbusRangeNeverReachesTheBus) {
    for (const std::int16_t address :
         {std::int16_t{0}, std::int16_t{248}, std::int16_t{-1}, std::int16_t{257}}) {
        record.address = address;
        EXPECT_EQ(Identify(record, trans), kRefused);
        (void)PollStep(record, trans);
        EXPECT_EQ(record.lastResult, ToInt(kRefused));
        EXPECT_EQ(WriteSetting(record, trans, 4016, 1), kRefused);
        EXPECT_EQ(ReadSettings(record, trans, polling, 4000, 16), ReadOutcome::kFailed);
    }
    EXPECT_TRUE(bus.requests.empty());
}

TEST_F(ControllerRoutinesTest, AttachReadsSettingsOfAnHz70WithPollingPaused) {
    bus.slaves[kAddress].registers[4000] = 250;
    bus.slaves[kAddress].registers[4016] = 1;
    WatchPollingFlag();
    polling.PollingEnabled = true;

    EXPECT_EQ(Attach(record, trans, polling), AttachOutcome::kDone);
    EXPECT_EQ(record.deviceId, kHz70SlaveId);
    EXPECT_EQ(record.identified, 1);
    EXPECT_EQ(record.commError, 0);
    EXPECT_EQ(record.monitoring, 1);
    EXPECT_EQ(record.settings[0].value, 250.0);
    ASSERT_EQ(bus.requests.size(), 2u);
    EXPECT_EQ(bus.requests[1].function, 3);
    EXPECT_EQ(bus.requests[1].reg, 4000);
    EXPECT_EQ(bus.requests[1].operand, 16);
    EXPECT_EQ(pollingSeen, (std::vector<int>{0, 0}));
    EXPECT_TRUE(polling.PollingEnabled);

    polling.PollingEnabled = false;
    EXPECT_EQ(Attach(record, trans, polling), AttachOutcome::kDone);
    EXPECT_FALSE(polling.PollingEnabled) << "the value found is put back";
}

TEST_F(ControllerRoutinesTest, AttachOfAnotherDeviceOrASilentOneStillMonitorsIt) {
    bus.slaves[kAddress].slaveId = 0x42;
    record.commError = 1;
    EXPECT_EQ(Attach(record, trans, polling), AttachOutcome::kDone);
    EXPECT_EQ(record.deviceId, 0x42);
    EXPECT_EQ(record.identified, 0);
    EXPECT_EQ(record.commError, 0);
    EXPECT_EQ(record.monitoring, 1);
    EXPECT_EQ(bus.requests.size(), 1u) << "no settings read";
    EXPECT_EQ(record.settings[0].value, kNoValue);

    TRegulator silent;
    InitRegulator(silent);
    silent.address = 9;
    EXPECT_EQ(Attach(silent, trans, polling), AttachOutcome::kDone);
    EXPECT_EQ(silent.lastResult, ToInt(kNoReply));
    EXPECT_EQ(silent.identified, 0);
    EXPECT_EQ(silent.monitoring, 1);
}

TEST_F(ControllerRoutinesTest, IdentifyAcceptsAnyIdAndLeavesTheCheckToTheCaller) {
    bus.slaves[kAddress].slaveId = 0x42;
    record.commError = 1;
    EXPECT_EQ(Identify(record, trans), kSlaveIdOk);
    EXPECT_EQ(record.identified, 1);
    EXPECT_EQ(record.deviceId, 0x42);
    EXPECT_EQ(record.commError, 0);

    record.address = 9;
    EXPECT_EQ(Identify(record, trans), kNoReply);
    EXPECT_EQ(record.identified, 0);
    EXPECT_EQ(record.commError, 1);
}

TEST_F(ControllerRoutinesTest, ReadSettingsTakesWordsUnsignedAndNeverTouchesTheStopRegister) {
    for (std::uint16_t reg = 4000; reg <= 4016; ++reg) {
        bus.slaves[kAddress].registers[reg] = static_cast<std::uint16_t>(reg - 3990);
    }
    bus.slaves[kAddress].registers[4000] = 0xFFF6;
    WatchPollingFlag();

    EXPECT_EQ(ReadSettings(record, trans, polling, 4000, 16), ReadOutcome::kRead);
    EXPECT_EQ(pollingSeen, (std::vector<int>{0}));
    EXPECT_TRUE(polling.PollingEnabled);
    EXPECT_EQ(record.settings[0].value, 65526.0);
    EXPECT_EQ(record.settings[0].raw, static_cast<std::int16_t>(0xFFF6));
    EXPECT_EQ(record.settings[15].value, 25.0);
    EXPECT_EQ(record.settings[16].raw, 0);
    EXPECT_EQ(record.settings[16].value, kNoValue);
    EXPECT_EQ(record.commError, 0);

    bus.slaves[kAddress].silent = true;
    const std::size_t before = bus.requests.size();
    EXPECT_EQ(ReadSettings(record, trans, polling, 4000, 16), ReadOutcome::kFailed);
    EXPECT_EQ(bus.requests.size(), before + 2) << "one repeat";
    EXPECT_EQ(record.settings[0].value, 65526.0) << "rows kept";
    EXPECT_EQ(record.commError, 1);

    EXPECT_EQ(ReadSettings(record, trans, polling, 4010, 16), ReadOutcome::kFailed)
        << "past the settings rows";
    EXPECT_EQ(ReadSettings(record, trans, polling, 3999, 2), ReadOutcome::kFailed);
    EXPECT_EQ(bus.requests.size(), before + 2);
}

TEST_F(ControllerRoutinesTest, WriteSettingSendsOnceOrTwiceAndKeepsTheExceptionCode) {
    // In the program the poll has long taught the link whether the line echoes; here one read does.
    ASSERT_EQ(trans.ReadRegisters(kAddress, 4018, 1), kReadOk);
    bus.requests.clear();
    EXPECT_EQ(WriteSetting(record, trans, 4016, 1), kWriteOk);
    ASSERT_EQ(bus.requests.size(), 1u);
    EXPECT_EQ(bus.requests[0].function, 6);
    EXPECT_EQ(bus.requests[0].reg, 4016);
    EXPECT_EQ(bus.requests[0].operand, 1);
    EXPECT_EQ(record.settings[16].value, kNoValue) << "the row is the caller's to update";

    bus.slaves[kAddress].writeException = 3;
    EXPECT_EQ(WriteSetting(record, trans, 4000, 600), ExceptionReplyTo(kWriteSingleRegister));
    EXPECT_EQ(record.writeException, 3);
    EXPECT_EQ(record.lastResult, 0x86);
    EXPECT_EQ(bus.requests.size(), 3u) << "the refused write was sent twice";

    bus.slaves[kAddress].silent = true;
    EXPECT_EQ(WriteSetting(record, trans, 4000, 100), kNoReply);
    EXPECT_EQ(bus.requests.size(), 5u);
}

} // namespace
} // namespace hz70
