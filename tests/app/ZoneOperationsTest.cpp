// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AppState.h"
#include "support/FakeClock.h"
#include "support/FakeHz70Bus.h"
#include "support/FakeSerialPort.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace hz70 {
namespace {

// What the windows see of the program: the zones of the list, exchanges with them, the chart's settings.
TEST(ZoneOperations, WindowsReachTheZonesAndTheSettingsThroughTheState) {
    test::FakeClock clock{1'000'000, 1};
    test::FakeSerialPort port;
    test::FakeHz70Bus bus{port};
    AppState state(port, clock, std::filesystem::temp_directory_path());
    (void)state.trans.SetSettings(TTransSettings{0, 5, 6, 0, 100});
    state.settings.zones.DevCount = 2;
    state.settings.zones.DevAddr = {5, 6, 0, 0, 0, 0, 0, 0};
    bus.slaves[5].registers[4003] = 250;
    bus.slaves[6].registers[4003] = 300;
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

} // namespace
} // namespace hz70
