// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AppState.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace hz70 {
namespace {

// The program's state on a fake RTU bus where the controllers at 5 and 6 answer, listing two zones.
class StateOnFakeBus : public ::testing::Test {
protected:
    test::FakeClock clock{1'000'000, 1};
    test::FakeSerialPort port;
    test::FakeHz70Bus bus{port};
    AppState state{port, clock, std::filesystem::temp_directory_path()};

    void SetUp() override {
        (void)state.trans.SetSettings(TTransSettings{0, 5, 6, 0, 100});
        bus.slaves[5].registers[4003] = 250;
        bus.slaves[6].registers[4003] = 300;
    }
    void ListZones(int first, int second) {
        state.settings.zones.DevCount = 2;
        state.settings.zones.DevAddr = {first, second, 0, 0, 0, 0, 0, 0};
    }
};

// What the windows see of the program: the zones of the list, exchanges with them, the chart's settings.
TEST_F(StateOnFakeBus, WindowsReachTheZonesAndTheSettingsThroughTheState) {
    ListZones(5, 6);
    state.RebuildDeviceList();
    ZoneOperations& zones = state;

    EXPECT_EQ(&zones.zoneList(), &state.settings.zones);
    ASSERT_EQ(zones.zoneCount(), 2);
    for (const int outside : {-1, 2, kZoneSlots}) {
        EXPECT_EQ(zones.zone(outside), nullptr) << outside;
    }
    TRegulator& second = *zones.zone(1);
    EXPECT_EQ(second.zoneNumber, 2);

    bus.slaves[6].registers[4003] = 310;
    ASSERT_EQ(zones.ReadZoneSettings(second), ReadOutcome::kRead);
    EXPECT_EQ(second.settings[3].raw, 310);
    ASSERT_EQ(zones.WriteZoneSetting(second, 4003, 320), ExchangeResult::kWriteOk);
    EXPECT_EQ(bus.slaves[6].registers[4003], 320);
    EXPECT_EQ(bus.slaves[5].registers[4003], 250) << "only the zone asked";

    EXPECT_EQ(&zones.chartSettings(), &state.settings.chart);
    EXPECT_FALSE(state.SettingsChanged);
    zones.MarkSettingsChanged();
    EXPECT_TRUE(state.SettingsChanged);
}

// The publisher hears of settings as they are read: every recognised zone at the list's build, then each
// read that succeeds, and never a zone that did not answer.
TEST_F(StateOnFakeBus, SettingsNoticeComesForEachReadThatGotTheSettings) {
    ListZones(5, 7);
    std::vector<int> told;
    state.onSettingsRead = [&told](const TRegulator& zone) { told.push_back(zone.address); };

    state.RebuildDeviceList();
    EXPECT_EQ(told, std::vector<int>{5});
    (void)state.ReadZoneSettings(*state.zone(0));
    (void)state.ReadZoneSettings(*state.zone(1));
    EXPECT_EQ(told, (std::vector<int>{5, 5}));
}

} // namespace
} // namespace hz70
