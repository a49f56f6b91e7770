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

// The publisher hears of settings as they are read: every recognised zone at the list's build, then each
// read that succeeds, and never a zone that did not answer.
TEST(SettingsReadNotice, ComesForEachReadThatGotTheSettings) {
    test::FakeClock clock{1'000'000, 1};
    test::FakeSerialPort port;
    test::FakeHz70Bus bus{port};
    AppState state(port, clock, std::filesystem::temp_directory_path());
    (void)state.trans.SetSettings(TTransSettings{0, 5, 6, 0, 100});
    state.settings.zones.DevCount = 2;
    state.settings.zones.DevAddr = {5, 7, 0, 0, 0, 0, 0, 0};
    bus.slaves[5].registers[4003] = 250;
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
