// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/PollCycle.h"

#include "app/core/DeviceList.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <deque>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace hz70 {
namespace {

using test::FakeClock;
using test::FakeHz70Bus;
using test::FakeSerialPort;
using ::testing::ElementsAre;

// Answers the question from a script and remembers which zones it was asked about.
class ScriptedQuestion final : public MonitoringQuestion {
public:
    std::deque<bool> answers;
    std::vector<int> askedZones;
    std::function<void()> whileAsking;

    bool AskStopMonitoring(const TRegulator& zone) override {
        askedZones.push_back(zone.zoneNumber);
        if (whileAsking) {
            whileAsking();
        }
        const bool answer = answers.empty() ? false : answers.front();
        if (!answers.empty()) {
            answers.pop_front();
        }
        return answer;
    }
};

// What the ticks handed on, as the views would take it.
class RecordingViews {
public:
    std::vector<PollTickResult> ticks;
    std::vector<int> zones; // zone number of every record handed over

    void Take(PollTickResult tick) {
        if (tick.record) {
            zones.push_back(tick.record->zoneNumber);
        }
        ticks.push_back(std::move(tick));
    }

    // The slots visited, one entry per stay on a zone.
    [[nodiscard]] std::vector<int> VisitedSlots() const {
        std::vector<int> slots;
        for (const int zone : zones) {
            if (slots.empty() || slots.back() != zone - 1) {
                slots.push_back(zone - 1);
            }
        }
        return slots;
    }
};

constexpr std::uint8_t AddressOf(int slot) {
    return static_cast<std::uint8_t>(20 + slot);
}

class PollCycleTest : public ::testing::Test, protected test::FakeHz70Line {
protected:
    PollingState polling;
    ZoneList zones;
    DeviceList devices;
    ScriptedQuestion question;
    RecordingViews views;
    PortReconnect reconnect{trans, port, clock};
    PollCycle cycle{devices, zones, trans, polling, question, &reconnect};

    // Configures `count` zones, all answering, and builds their records.
    void BuildZones(int count) {
        zones.DevCount = count;
        for (int slot = 0; slot < kZoneSlots; ++slot) {
            zones.DevAddr[static_cast<std::size_t>(slot)] = slot < count ? AddressOf(slot) : 0;
            bus.slaves[AddressOf(slot)].registers[4020] = static_cast<std::uint16_t>(100 * slot);
        }
        RebuildDeviceList(devices, zones, trans, polling);
        cycle.Restart();
        bus.requests.clear();
        views = {};
    }

    // Poll timer ticks: the port is reopened when due, then the cycle polls.
    void Ticks(int count) {
        for (int i = 0; i < count; ++i) {
            reconnect.Tick();
            views.Take(cycle.Tick());
            clock.Advance(100);
        }
    }

    TRegulator& Zone(int slot) { return devices[static_cast<std::size_t>(slot)]->record; }
};

TEST_F(PollCycleTest, ThreeZonesAreVisitedInTurnAndMarkedCurrent) {
    BuildZones(3);
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(Zone(slot).commError, 1) << "no answer yet since the list was built";
    }
    Ticks(8); // the first tick waits out the bus pause after the build's own exchanges
    EXPECT_THAT(views.VisitedSlots(), ElementsAre(0, 1, 2, 0));
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(Zone(slot).commError, 0);
        EXPECT_FALSE(devices[static_cast<std::size_t>(slot)]->FailureReported);
    }
    EXPECT_DOUBLE_EQ(Zone(2).measured[kMeasuredTemperature].value, 20.0);
}

// Every tick hands on its slot, what became of the zone's exchange and a copy of the record as the tick
// left it: the unit already follows the status word, and a silent zone keeps its values through two
// repeated attempts and loses them at the third. Runs of like ticks (a request in flight) count once.
TEST_F(PollCycleTest, EachTickHandsOnItsSlotItsOutcomeAndTheRecordAsTheTickLeftIt) {
    BuildZones(2);
    bus.slaves[AddressOf(0)].registers[4019] = 0x0100;
    bus.slaves[AddressOf(0)].registers[4020] = 215;
    bus.slaves[AddressOf(1)].silent = true;
    Zone(1).measured[kMeasuredTemperature].value = 30.0;
    Ticks(30);
    const auto key = [](const PollTickResult* tick) {
        return std::tuple(tick->slot, tick->outcome, tick->record->failCount);
    };
    std::vector<const PollTickResult*> distinct;
    for (const PollTickResult& tick : views.ticks) {
        ASSERT_TRUE(tick.record);
        if (distinct.empty() || key(distinct.back()) != key(&tick)) {
            distinct.push_back(&tick);
        }
    }
    struct Expected {
        int slot;
        PollOutcome outcome;
        bool ended;
        int commError;
        int failCount;
        double temperature;
        const char* unit;
    };
    const Expected expected[] = {
        {0, PollOutcome::kPending, false, 1, 0, kNoValue, "°C"},
        {0, PollOutcome::kUpdated, true, 0, 0, 21.5, "°F"},
        {1, PollOutcome::kPending, false, 1, 0, 30.0, "°C"},
        {1, PollOutcome::kPending, false, 1, 1, 30.0, "°C"},
        {1, PollOutcome::kPending, false, 1, 2, 30.0, "°C"},
        {1, PollOutcome::kFailed, true, 1, 3, kNoValue, "°C"},
        {0, PollOutcome::kPending, false, 0, 0, 21.5, "°F"},
        {0, PollOutcome::kUpdated, true, 0, 0, 21.5, "°F"},
    };
    ASSERT_GE(distinct.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const TRegulator& record = *distinct[i]->record;
        const Expected& e = expected[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(distinct[i]->slot, e.slot);
        EXPECT_EQ(distinct[i]->outcome, e.outcome);
        EXPECT_EQ(distinct[i]->exchangeEnded(), e.ended);
        EXPECT_EQ(record.zoneNumber, e.slot + 1);
        EXPECT_EQ(record.commError, e.commError);
        EXPECT_EQ(record.failCount, e.failCount);
        EXPECT_EQ(record.measured[kMeasuredTemperature].value, e.temperature);
        EXPECT_STREQ(record.measured[kMeasuredTemperature].unit, e.unit);
        EXPECT_EQ(record.fahrenheit, e.unit == std::string("°F") ? 1 : 0);
    }
    Zone(0).measured[kMeasuredTemperature].value = 1.0;
    EXPECT_EQ(distinct[1]->record->measured[kMeasuredTemperature].value, 21.5) << "a copy, not the record";
}

TEST_F(PollCycleTest, EightZonesWrapAfterTheLastSlot) {
    BuildZones(8);
    Ticks(18);
    EXPECT_THAT(views.VisitedSlots(), ElementsAre(0, 1, 2, 3, 4, 5, 6, 7, 0));
}

TEST_F(PollCycleTest, ZoneStillBusyHoldsTheCycleAndASilentNewZoneRaisesNoQuestion) {
    UseTimeout(1000);
    bus.slaves[AddressOf(0)].silent = true;
    BuildZones(2);
    bus.slaves[AddressOf(0)].silent = true;
    Ticks(25);
    EXPECT_EQ(cycle.pollIndex(), 0);
    EXPECT_EQ(bus.RequestsTo(AddressOf(1)), 0);
    EXPECT_THAT(views.VisitedSlots(), ElementsAre(0)) << "the views see the zone on every tick";

    Ticks(20);
    EXPECT_EQ(Zone(0).failCount, 3);
    EXPECT_GT(bus.RequestsTo(AddressOf(1)), 0);
    EXPECT_TRUE(question.askedZones.empty()) << "the zone never answered";
    EXPECT_EQ(Zone(0).monitoring, 1);
}

// While the question about zone 1 is open, the others are polled on; zone 2 stops answering meanwhile
// and is asked about once the first question is answered; zone 3 stops and answers again meanwhile and
// is not asked about.
TEST_F(PollCycleTest, PollingGoesOnWhileAQuestionIsOpenAndTheNextQuestionWaitsForItsAnswer) {
    BuildZones(4);
    Ticks(10);
    const auto requestsToZone4 = [this](int ticks) {
        const int before = bus.RequestsTo(AddressOf(3));
        Ticks(ticks);
        return bus.RequestsTo(AddressOf(3)) - before;
    };
    const int before = requestsToZone4(40);
    int during = 0;
    question.whileAsking = [&] {
        if (question.askedZones.size() > 1) {
            return;
        }
        bus.slaves[AddressOf(1)].silent = true;
        bus.slaves[AddressOf(2)].silent = true;
        Ticks(80);
        bus.slaves[AddressOf(2)].silent = false;
        during = requestsToZone4(40);
        EXPECT_THAT(question.askedZones, ElementsAre(1)) << "one question at a time";
    };
    question.answers = {false, true};
    bus.slaves[AddressOf(0)].silent = true;
    Ticks(60);
    EXPECT_THAT(question.askedZones, ElementsAre(1, 2));
    EXPECT_GE(2 * during, before) << before << " requests to zone 4 before, " << during << " during";
    EXPECT_EQ(Zone(0).monitoring, 1) << "No keeps the zone polled";
    EXPECT_EQ(Zone(1).monitoring, 0) << "Yes stops polling it";
    EXPECT_EQ(Zone(2).commError, 0);

    const int toZone1 = bus.RequestsTo(AddressOf(0));
    Ticks(40);
    EXPECT_GT(bus.RequestsTo(AddressOf(0)), toZone1);
    EXPECT_THAT(question.askedZones, ElementsAre(1, 2)) << "no second question for the same run";
    bus.slaves[AddressOf(0)].silent = false;
    Ticks(10);
    bus.slaves[AddressOf(0)].silent = true;
    Ticks(60);
    EXPECT_THAT(question.askedZones, ElementsAre(1, 2, 1)) << "a new run after an answer asks again";
}

TEST_F(PollCycleTest, YesStopsPollingTheZoneButTheViewsStillReceiveIt) {
    BuildZones(2);
    Ticks(4);
    bus.slaves[AddressOf(1)].silent = true;
    question.answers = {true};
    Ticks(60);
    ASSERT_THAT(question.askedZones, ElementsAre(2));
    EXPECT_EQ(Zone(1).monitoring, 0);

    const int silentRequests = bus.RequestsTo(AddressOf(1));
    const int otherRequests = bus.RequestsTo(AddressOf(0));
    views.zones.clear();
    Ticks(20);
    EXPECT_EQ(bus.RequestsTo(AddressOf(1)), silentRequests);
    EXPECT_GT(bus.RequestsTo(AddressOf(0)), otherRequests + 3);
    EXPECT_GT(std::count(views.zones.begin(), views.zones.end(), 2), 3);
    EXPECT_EQ(Zone(1).measured[kMeasuredTemperature].value, kNoValue);
}

TEST_F(PollCycleTest, ZonesFailingWithALostPortAreNotAskedAboutAndAnswerOnceTheDeviceIsBack) {
    BuildZones(3);
    Ticks(8);
    ASSERT_EQ(Zone(1).commError, 0);

    // The adapter is pulled out: the device reports lost, and nothing reaches the bus any more.
    port.errorStateReadable = false;
    port.writeSucceeds = false;
    port.openSucceeds = false;
    port.condition = {PortCondition::State::Lost, "/dev/ttyUSB0", "", ""};
    Ticks(50);
    EXPECT_TRUE(question.askedZones.empty()) << "the port is at fault, not the zones";
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(Zone(slot).failCount, 3);
        EXPECT_EQ(Zone(slot).commError, 1);
        EXPECT_EQ(Zone(slot).measured[kMeasuredTemperature].value, kNoValue);
    }

    // It is plugged back in, but zone 2's controller no longer answers.
    port.errorStateReadable = true;
    port.writeSucceeds = true;
    port.openSucceeds = true;
    port.condition = {PortCondition::State::Open, "/dev/ttyUSB0", "", ""};
    bus.slaves[AddressOf(1)].silent = true;
    const int opensBefore = port.CallCount("Open");
    int ticks = 0;
    while (port.CallCount("Open") == opensBefore && ticks < 30) {
        Ticks(1);
        ++ticks;
    }
    EXPECT_LE(ticks, 20) << "reopened within the retry interval";
    Ticks(6); // one cycle over three zones
    EXPECT_EQ(Zone(0).commError, 0);
    EXPECT_EQ(Zone(2).commError, 0);
    Ticks(30);
    EXPECT_THAT(question.askedZones, ElementsAre(2)) << "a zone failing with the port back is asked about";
}

TEST_F(PollCycleTest, SlotWithoutARecordSendsTheCycleBackToTheStart) {
    // A hand-edited list: three addresses but only two zones counted.
    zones.DevCount = 2;
    zones.DevAddr = {AddressOf(0), AddressOf(1), AddressOf(2), 0, 0, 0, 0, 0};
    for (int slot = 0; slot < 3; ++slot) {
        bus.slaves[AddressOf(slot)];
    }
    RebuildDeviceList(devices, zones, trans, polling);
    Ticks(10);
    EXPECT_THAT(views.VisitedSlots(), ElementsAre(0, 1, 0, 1, 0));

    // The list shrinks under a cycle that was not restarted.
    zones.DevCount = 1;
    RebuildDeviceList(devices, zones, trans, polling);
    views.zones.clear();
    Ticks(8);
    EXPECT_THAT(views.VisitedSlots(), ElementsAre(0));
    EXPECT_EQ(cycle.pollIndex(), 0);
}

TEST_F(PollCycleTest, NothingHappensWhilePollingIsDisabled) {
    BuildZones(2);
    polling.PollingEnabled = false;
    Ticks(10);
    EXPECT_TRUE(bus.requests.empty());
    EXPECT_TRUE(views.zones.empty());
}

TEST_F(PollCycleTest, RebuiltRecordsFollowTheZoneListAndEnablePolling) {
    zones.DevCount = 4;
    zones.DevAddr = {5, 6, 7, 65536 + 5, 0, 0, 0, 0};
    zones.DevName[1] = "Piec";
    bus.slaves[5];
    bus.slaves[6].slaveId = 0x42;
    bus.slaves[5].registers[4000] = 180;
    polling.PollingEnabled = false;
    RebuildDeviceList(devices, zones, trans, polling);

    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(Zone(3).address, 0) << "no Modbus address; never cut to 5";
    EXPECT_EQ(bus.RequestsTo(5), 2);
    EXPECT_TRUE(polling.PollingEnabled);
    for (int slot = 0; slot < 3; ++slot) {
        EXPECT_EQ(Zone(slot).address, 5 + slot);
        EXPECT_EQ(Zone(slot).zoneNumber, slot + 1);
        EXPECT_EQ(Zone(slot).commError, 1);
        EXPECT_EQ(Zone(slot).monitoring, 1);
        EXPECT_TRUE(devices[static_cast<std::size_t>(slot)]->FailureReported);
    }
    EXPECT_EQ(Zone(1).name, "Piec");
    EXPECT_EQ(Zone(0).settings[0].value, 180.0);
    EXPECT_EQ(Zone(1).identified, 0);
    EXPECT_EQ(Zone(2).identified, 0);
    EXPECT_EQ(StopMonitoringText(Zone(0)), "Błąd transmisji.\nWyłączyć monitorowanie Strefy STREFA  1");

    zones.DevCount = 12;
    RebuildDeviceList(devices, zones, trans, polling);
    EXPECT_EQ(devices.size(), 8u);
}

} // namespace
} // namespace hz70
