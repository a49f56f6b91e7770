// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/ZoneListEditor.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <vector>

namespace hz70 {
namespace {

using test::FakeClock;
using test::FakeHz70Bus;
using test::FakeSerialPort;
using test::FakeSlave;
using ::testing::ElementsAre;
using Outcome = BusSearch::Outcome;

class BusSearchTest : public ::testing::Test, protected test::FakeHz70Line {
protected:
    PollingState polling;

    void AddSlave(int address, std::uint8_t slaveId = kHz70SlaveId) {
        FakeSlave slave;
        slave.slaveId = slaveId;
        bus.slaves[static_cast<std::uint8_t>(address)] = slave;
    }

    // Steps until stepping ends; the addresses reported found, and the outcome that ended it.
    std::pair<std::vector<int>, Outcome> RunToEnd(BusSearch& search) {
        std::vector<int> found;
        for (;;) {
            const BusSearch::Step step = search.Next();
            if (step.outcome == Outcome::kFound || step.outcome == Outcome::kFoundAll) {
                found.push_back(step.address);
            }
            if (step.outcome != Outcome::kFound && step.outcome != Outcome::kNone) {
                return {found, step.outcome};
            }
            EXPECT_FALSE(polling.PollingEnabled);
        }
    }
};

TEST_F(BusSearchTest, AsksEveryAddressOnceAndReportsOnlyHz70Controllers) {
    AddSlave(3);
    AddSlave(9, 7); // a foreign slave
    AddSlave(17);
    BusSearch search(trans, polling);
    EXPECT_EQ(search.Next().outcome, Outcome::kIdle);
    search.Start();
    EXPECT_FALSE(polling.PollingEnabled);
    EXPECT_EQ(search.address(), 1);

    const auto [found, end] = RunToEnd(search);
    EXPECT_THAT(found, ElementsAre(3, 17));
    EXPECT_EQ(end, Outcome::kRangeEnd);
    EXPECT_EQ(search.FoundCount(), 2);
    EXPECT_FALSE(search.stepping());
    // Polling waits until the outcome has been shown.
    EXPECT_FALSE(polling.PollingEnabled);
    search.Stop();
    EXPECT_TRUE(polling.PollingEnabled);

    ASSERT_EQ(bus.requests.size(), 247u);
    for (std::size_t i = 0; i < bus.requests.size(); ++i) {
        EXPECT_EQ(bus.requests[i].address, i + 1);
        EXPECT_EQ(bus.requests[i].function, 0x11);
    }
    EXPECT_EQ(search.Next().outcome, Outcome::kIdle);
    EXPECT_EQ(bus.requests.size(), 247u);
}

TEST_F(BusSearchTest, StoppingOrDestroyingTheSearchResumesPolling) {
    {
        BusSearch search(trans, polling);
        search.Start();
        EXPECT_EQ(search.Next().outcome, Outcome::kNone);
        EXPECT_EQ(search.address(), 2);
        search.Stop();
        EXPECT_TRUE(polling.PollingEnabled);
        EXPECT_EQ(search.Next().outcome, Outcome::kIdle);

        search.Start(); // a second run starts at the first address again
        EXPECT_EQ(search.address(), 1);
        EXPECT_FALSE(polling.PollingEnabled);
    }
    EXPECT_TRUE(polling.PollingEnabled);
}

TEST_F(BusSearchTest, APortThatDoesNotOpenEndsTheSteppingAtOnce) {
    AddSlave(3);
    port.openSucceeds = false;
    BusSearch search(trans, polling);
    search.Start();
    EXPECT_EQ(search.Next().outcome, Outcome::kPortNotOpen);
    EXPECT_FALSE(search.stepping());
    EXPECT_EQ(search.Next().outcome, Outcome::kIdle);
    EXPECT_FALSE(polling.PollingEnabled); // until the caller has told the operator
    search.Stop();
    EXPECT_TRUE(polling.PollingEnabled);
    EXPECT_TRUE(bus.requests.empty());
}

TEST_F(BusSearchTest, AMissingControllerCostsOneReplyTimeout) {
    BusSearch search(trans, polling);
    search.Start();
    const std::uint32_t before = clock.now();
    EXPECT_EQ(search.Next().outcome, Outcome::kNone);
    const std::uint32_t spent = clock.now() - before;
    EXPECT_GE(spent, 100u);
    EXPECT_LT(spent, 200u);
}

} // namespace
} // namespace hz70
