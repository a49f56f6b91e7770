// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/ZoneSettings.h"

#include <gtest/gtest.h>

namespace hz70::sim {
namespace {

TEST(ZoneSettings, LimitsAreTheRegisterMapsInCelsius) {
    const ZoneSettings settings;
    struct Row {
        Setting setting;
        std::uint16_t min, max;
    };
    for (const Row row : {Row{Setting::SP, 0, 537}, Row{Setting::SPL, 37, 149}, Row{Setting::SPR, 90, 160},
                          Row{Setting::PS, 5, 100}, Row{Setting::ADH, 2, 20}, Row{Setting::ADL, 2, 20},
                          Row{Setting::XP, 1, 200}, Row{Setting::ti, 0, 999}, Row{Setting::td, 0, 999},
                          Row{Setting::SEC, 0, 999}, Row{Setting::DEG, 0, 1}, Row{Setting::TCB, 0, 1},
                          Row{Setting::STOP, 0, 1}}) {
        const SettingLimits limits = settings.limits(row.setting);
        EXPECT_EQ(limits.min, row.min) << static_cast<int>(row.setting);
        EXPECT_EQ(limits.max, row.max) << static_cast<int>(row.setting);
    }
}

TEST(ZoneSettings, WritesOutsideTheLimitsChangeNothing) {
    ZoneSettings settings;
    EXPECT_FALSE(settings.write(Setting::PS, 101));
    EXPECT_FALSE(settings.write(Setting::PS, 4));
    EXPECT_FALSE(settings.write(Setting::SPL, 150));
    EXPECT_FALSE(settings.write(Setting::SP, 4464)); // 70000 cut to 16 bits
    EXPECT_FALSE(settings.write(Setting::DEG, 2));
    EXPECT_EQ(settings.word(Setting::PS), 30);
    EXPECT_EQ(settings.word(Setting::SP), 200);
    EXPECT_TRUE(settings.write(Setting::PS, 100));
    EXPECT_TRUE(settings.write(Setting::SP, 537));
    EXPECT_EQ(settings.word(Setting::SP), 537);
}

TEST(ZoneSettings, FahrenheitConvertsTemperatureSettingsAndTheirLimits) {
    ZoneSettings settings;
    ASSERT_TRUE(settings.write(Setting::DEG, 1));
    EXPECT_EQ(settings.word(Setting::SP), 392);
    EXPECT_EQ(settings.word(Setting::SPL), 212);
    EXPECT_EQ(settings.word(Setting::ADH), 18) << "a band converts as a difference";
    EXPECT_EQ(settings.word(Setting::PS), 30) << "not a temperature";
    EXPECT_EQ(settings.limits(Setting::SP).min, 32);
    EXPECT_EQ(settings.limits(Setting::SP).max, 999);
    EXPECT_EQ(settings.limits(Setting::SPL).max, 300);
    EXPECT_EQ(settings.limits(Setting::ADL).max, 36);
    EXPECT_NEAR(settings.celsius(Setting::SP), 200.0, 1e-9);
    EXPECT_FALSE(settings.write(Setting::SP, 20)) << "below 32 °F";
    EXPECT_TRUE(settings.write(Setting::SP, 500));

    ASSERT_TRUE(settings.write(Setting::DEG, 0));
    EXPECT_EQ(settings.word(Setting::SP), 260);
    EXPECT_EQ(settings.word(Setting::SPL), 100);
    EXPECT_EQ(settings.word(Setting::ADH), 10);
}

TEST(ZoneSettings, RegistersMapToSettingsOnlyFrom4000To4016) {
    EXPECT_EQ(SettingAt(4000), Setting::SP);
    EXPECT_EQ(SettingAt(4016), Setting::STOP);
    EXPECT_FALSE(SettingAt(3999));
    EXPECT_FALSE(SettingAt(4017));
}

} // namespace
} // namespace hz70::sim
