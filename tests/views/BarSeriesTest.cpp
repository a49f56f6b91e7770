// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/BarSeries.h"

#include <cmath>
#include <gtest/gtest.h>

namespace hz70 {
namespace {

TRegulator Zone(int number, const char* name) {
    TRegulator record;
    InitRegulator(record);
    record.zoneNumber = static_cast<std::int16_t>(number);
    record.name = name;
    return record;
}

TEST(BarSeries, RebuildGivesOneZeroBarPerZoneWithTheDefaultLabels) {
    BarSeries series;
    series.Rebuild(3);
    EXPECT_EQ(series.points(),
              (std::vector<BarPoint>{
                  {0, 0.0, "STREFA1", false}, {1, 0.0, "STREFA2", false}, {2, 0.0, "STREFA3", false}}));
    series.Rebuild(1);
    EXPECT_EQ(series.Labels(), std::vector<std::string>{"STREFA1"});
}

TEST(BarSeries, PointsOfARecordSitInItsSlot) {
    TRegulator record = Zone(2, "Piec 1");
    record.measured[kMeasuredTemperature].value = 215.3;
    record.measured[kLoadCurrent].value = 25.0;
    EXPECT_EQ(TemperaturePoint(record), (BarPoint{1, 215.3, "Piec 1[°C]", false}));
    EXPECT_EQ(CurrentPoint(record), (BarPoint{1, 25.0, "Piec 1", false}));

    record.measured[kMeasuredTemperature].value = kNoValue;
    record.measured[kLoadCurrent].value = -1e21;
    EXPECT_EQ(TemperaturePoint(record), (BarPoint{1, 0.0, "Piec 1[°C]", true}));
    EXPECT_EQ(CurrentPoint(record), (BarPoint{1, 0.0, "Piec 1", true}));
}

TEST(BarSeries, ReplaceKeepsTheOtherBarsAndTheOrder) {
    BarSeries series;
    series.Rebuild(3);
    ASSERT_TRUE(series.Replace({1, 0.0, "Piec 1[°C]", true}));
    ASSERT_TRUE(series.Replace({2, 180.0, "Piec 2[°C]", false}));
    EXPECT_EQ(series.points(), (std::vector<BarPoint>{{0, 0.0, "STREFA1", false},
                                                      {1, 0.0, "Piec 1[°C]", true},
                                                      {2, 180.0, "Piec 2[°C]", false}}));
    // A record that is no configured zone (stale or not yet rebuilt) changes nothing.
    EXPECT_FALSE(series.Replace({3, 1.0, "x", false}));
    EXPECT_FALSE(series.Replace({-1, 1.0, "x", false}));
    EXPECT_EQ(series.points().size(), 3u);
}

TEST(BarSeries, BarBoxSpansFromZeroToTheValueInTheMiddleOfItsSlot) {
    const Box plot{10, 20, 300, 200};
    const AxisRange positive{0, 100, 20};
    const AxisRange both{-50, 50, 10};
    struct Case {
        int slot;
        double value;
        AxisRange range;
        Box box;
    };
    for (const Case& c : {
             Case{0, 50.0, positive, {35, 120, 50, 100}},
             Case{2, 150.0, positive, {235, 20, 50, 200}}, // cut off at the top
             Case{1, 0.0, positive, {135, 220, 50, 0}},
             Case{1, -20.0, both, {135, 120, 50, 40}}, // from zero down
             Case{1, -80.0, both, {135, 120, 50, 100}},
         }) {
        EXPECT_EQ(BarBox(plot, 3, c.slot, c.value, c.range), c.box) << c.slot << " " << c.value;
    }
}

TEST(BarSeries, AutomaticRangeReachesFromZeroPastTheHighestBar) {
    EXPECT_EQ(AutomaticAxisRange({{0, 215.3, "", false}, {1, 180.0, "", false}}), (AxisRange{0, 250, 50}));
    // All bars at zero, or no bars: a small range of whole ticks.
    EXPECT_EQ(AutomaticAxisRange({{0, 0.0, "", false}}), (AxisRange{0, 12, 2}));
    EXPECT_EQ(AutomaticAxisRange({}), (AxisRange{0, 12, 2}));
    // An empty point does not stretch the axis, whatever it holds.
    EXPECT_EQ(AutomaticAxisRange({{0, 20.0, "", false}, {1, 900.0, "", true}}), (AxisRange{0, 25, 5}));
    // Below zero the axis reaches down to the lowest bar.
    EXPECT_EQ(AutomaticAxisRange({{0, -42.0, "", false}, {1, 12.0, "", false}}), (AxisRange{-50, 20, 10}));
}

TEST(BarSeries, AutomaticTicksAreWholeNumbersThatFitTheRange) {
    for (const double value : {-3276.8, -0.1, 0.0, 0.1, 3.3, 9.9, 27.1, 99.9, 537.0, 3276.7}) {
        const AxisRange range = AutomaticAxisRange({{0, value, "", false}});
        EXPECT_GE(range.step, 1.0) << value;
        EXPECT_EQ(range.step, std::floor(range.step)) << value;
        EXPECT_LE(range.min, std::min(value, 0.0)) << value;
        EXPECT_GE(range.max, std::max(value, 0.0)) << value;
        const double ticks = (range.max - range.min) / range.step;
        EXPECT_EQ(ticks, std::round(ticks)) << value;
        EXPECT_LE(ticks, 10.0) << value;
    }
}

TEST(BarSeries, TicksWidenUntilEachHasRoomForItsLabel) {
    constexpr double kRoom = 30.0;
    struct Case {
        AxisRange range;
        double length;
        double step;
    };
    for (const Case& c : {
             Case{kCurrentAxisRange, 516, 2},  // 11 ticks fit
             Case{kCurrentAxisRange, 329, 5},  // 11 do not: 0, 5, .. 20
             Case{kCurrentAxisRange, 100, 10}, // 0, 10, 20
             Case{kCurrentAxisRange, 20, 20},  // 0 and 20 are kept however short the axis
             Case{{0, 1400, 200}, 191, 500},   // 0, 500, 1000
             Case{{-50, 20, 10}, 150, 20},     // -40 .. 20
             Case{{0, 313, 50}, 0, 200},       // not laid out yet: 0 and 200
         }) {
        const AxisRange fitted = FitTicks(c.range, c.length, kRoom);
        EXPECT_EQ(fitted, (AxisRange{c.range.min, c.range.max, c.step})) << c.range.max << " " << c.length;
    }
}

} // namespace
} // namespace hz70
