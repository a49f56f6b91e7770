// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ChartAxis.h"

#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

namespace hz70 {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

struct Flags {
    bool automatic;
    bool maximum;
    bool minimum;
    friend bool operator==(const Flags&, const Flags&) = default;
};

Flags AutoFlags(const ChartAxis& axis) {
    return {axis.automatic(), axis.automaticMaximum(), axis.automaticMinimum()};
}

TEST(AxisModel, AutomaticScaleCouplesItsTwoEnds) {
    ChartAxis axis(-5, 200);
    axis.SetAutomatic(true);
    EXPECT_EQ(AutoFlags(axis), (Flags{true, true, true}));
    axis.SetAutomaticMaximum(false); // one end off: no longer automatic
    EXPECT_EQ(AutoFlags(axis), (Flags{false, false, true}));
    axis.SetAutomaticMaximum(true); // back on while the other end is on: automatic again
    EXPECT_EQ(AutoFlags(axis), (Flags{true, true, true}));
    axis.SetAutomaticMinimum(false);
    EXPECT_EQ(AutoFlags(axis), (Flags{false, true, false}));
    axis.SetAutomatic(false);
    EXPECT_EQ(AutoFlags(axis), (Flags{false, false, false}));
    axis.SetAutomaticMinimum(true); // one end alone
    EXPECT_EQ(AutoFlags(axis), (Flags{false, false, true}));
}

TEST(AxisModel, FixedEndsRefuseACrossedRangeAndKeepTheirValues) {
    ChartAxis axis(-5, 200);
    EXPECT_EQ(axis.SetMaximum(-6), AxisRefusal::kMaximumBelowMinimum);
    EXPECT_EQ(axis.SetMinimum(201), AxisRefusal::kMinimumAboveMaximum);
    EXPECT_EQ(axis.fixedSpan(), (ValueSpan{-5, 200}));
    EXPECT_EQ(axis.SetMaximum(-5), AxisRefusal::kNone); // equal ends pass
    EXPECT_EQ(axis.SetMinimum(-5), AxisRefusal::kNone);
    EXPECT_STREQ(AxisRefusalText(AxisRefusal::kMaximumBelowMinimum), "Axis Maximum Value must be >= Minimum");
    EXPECT_STREQ(AxisRefusalText(AxisRefusal::kMinimumAboveMaximum), "Axis Minimum Value must be <= Maximum");
    EXPECT_STREQ(AxisRefusalText(AxisRefusal::kLogarithmicBelowZero),
                 "Logarithmic Axis Min and Max values should be >= 0");
}

TEST(AxisModel, RangeGoesInWhateverTheRangeBeforeWhenItIsInOrder) {
    ChartAxis axis(-5, 200);
    EXPECT_EQ(SetAxisRange(axis, -30, -10), AxisRefusal::kNone); // wholly below the old minimum
    EXPECT_EQ(axis.fixedSpan(), (ValueSpan{-30, -10}));
    EXPECT_EQ(SetAxisRange(axis, 500, 600), AxisRefusal::kNone); // wholly above the old maximum
    EXPECT_EQ(axis.fixedSpan(), (ValueSpan{500, 600}));
    EXPECT_EQ(SetAxisRange(axis, 10, 5), AxisRefusal::kMaximumBelowMinimum);
    EXPECT_EQ(axis.fixedSpan(), (ValueSpan{500, 600}));
}

TEST(AxisModel, AutomaticEndsReadBackWhatWasWorkedOutAndKeepTheFixedOnes) {
    ChartAxis axis(0, 400);
    axis.SetAutomaticMaximum(true);
    EXPECT_EQ(axis.maximum(), 400); // nothing worked out yet
    axis.WorkOut(ValueSpan{20.5, 180.25});
    EXPECT_EQ(axis.maximum(), 180.25);
    EXPECT_EQ(axis.minimum(), 0); // this end is fixed
    axis.WorkOut(std::nullopt);   // no points: the last range stays
    EXPECT_EQ(axis.maximum(), 180.25);
    EXPECT_EQ(SetAxisRange(axis, 10, 20), AxisRefusal::kNone); // kept for when automatic is off
    EXPECT_EQ(axis.maximum(), 180.25);
    axis.SetAutomaticMaximum(false);
    EXPECT_EQ(axis.maximum(), 20);
    EXPECT_EQ(axis.minimum(), 10);

    // A flat curve worked out inside one unit does not block storing its truncated range.
    axis.SetAutomatic(true);
    axis.WorkOut(ValueSpan{20.3, 20.7});
    EXPECT_EQ(SetAxisRange(axis, 20, 20), AxisRefusal::kNone);
}

TEST(AxisModel, LogarithmicScaleIsRefusedWhileAnEndReadsBelowZero) {
    ChartAxis axis(-5, 200);
    EXPECT_EQ(axis.SetLogarithmic(true), AxisRefusal::kLogarithmicBelowZero);
    EXPECT_FALSE(axis.logarithmic());
    EXPECT_EQ(SetAxisRange(axis, 0, 200), AxisRefusal::kNone);
    EXPECT_EQ(axis.SetLogarithmic(true), AxisRefusal::kNone); // 0 is allowed
    EXPECT_TRUE(axis.logarithmic());
    EXPECT_EQ(axis.SetLogarithmic(false), AxisRefusal::kNone);

    axis.SetAutomatic(true); // the worked-out ends count while automatic
    axis.WorkOut(ValueSpan{-1, 50});
    EXPECT_EQ(axis.SetLogarithmic(true), AxisRefusal::kLogarithmicBelowZero);
}

TEST(AxisModel, ShownSpanKeepsEndsApartAndPositiveOnALogarithmicScale) {
    ChartAxis axis(0, 400);
    EXPECT_EQ(axis.Shown(), (ValueSpan{0, 400}));
    ASSERT_EQ(axis.SetLogarithmic(true), AxisRefusal::kNone);
    EXPECT_EQ(axis.Shown(), (ValueSpan{0.4, 400}));
    EXPECT_EQ(axis.ShownCoordinates().upper, std::log10(400.0));
    EXPECT_EQ(axis.Coordinate(100), 2.0);
    EXPECT_EQ(axis.Coordinate(0), std::log10(0.4)); // what cannot be drawn sits at the lower end
    EXPECT_EQ(axis.Coordinate(-3), std::log10(0.4));

    ChartAxis flat(0, 100);
    flat.SetAutomatic(true);
    flat.WorkOut(ValueSpan{25, 25});
    EXPECT_EQ(flat.Shown(), (ValueSpan{24, 26}));
    EXPECT_EQ(flat.Coordinate(-3), -3.0);

    ChartAxis crossed(0, 100); // automatic maximum below the fixed minimum
    crossed.SetAutomaticMaximum(true);
    crossed.WorkOut(ValueSpan{-20, -10});
    EXPECT_EQ(crossed.Shown(), (ValueSpan{-10, 0}));
}

TEST(AxisModel, TicksFallOnRoundValuesInsideTheShownSpan) {
    EXPECT_THAT(AxisTicks({-5, 200}, false, 5), ElementsAre(0, 50, 100, 150, 200));
    EXPECT_THAT(AxisTicks({-2.5, 100}, false, 11), ElementsAre(0, 10, 20, 30, 40, 50, 60, 70, 80, 90, 100));
    EXPECT_THAT(AxisTicks({20.3, 20.7}, false, 4), ElementsAre(20.3, 20.4, 20.5, 20.6, 20.7));
    EXPECT_THAT(AxisTicks({0.4, 400}, true, 10), ElementsAre(1, 10, 100));
    EXPECT_THAT(AxisTicks({0.001, 1e6}, true, 4), ElementsAre(0.001, 1, 1000, 1e6));
    EXPECT_THAT(AxisTicks({15, 80}, true, 10), ElementsAre(20, 50));
    EXPECT_THAT(AxisTicks({7, 7}, false, 10), ElementsAre(7));
    EXPECT_FALSE(std::signbit(AxisTicks({0, 400}, false, 8).front())); // 0, not -0
    for (const double tick : AxisTicks({-0.3, 0.3}, false, 6)) {
        EXPECT_TRUE(tick == 0 || std::fabs(tick) >= 0.1) << tick; // no -2.7e-17 for zero
    }
}

TEST(AxisModel, TickLabelsFollowTheFormatAndStayDistinct) {
    EXPECT_THAT(AxisTickLabels({0, 50, 100}, "###0.###", ".", ","), ElementsAre("0", "50", "100"));
    EXPECT_THAT(AxisTickLabels({0.5, 1, 1.5}, "0", ".", ","), ElementsAre("0", "1", "2"));
    EXPECT_THAT(AxisTickLabels({1.4, 1.6, 1.8}, "0", ".", ","),
                ElementsAre("1", "2", "2\u200B")); // same text twice: made distinct invisibly
}

TEST(AxisModel, StoredSettingsComeBackAndRefusalsAreListed) {
    ChartAxis axis(-5, 200);
    EXPECT_THAT(ApplyStoredAxis(axis, {0, 400, 0, "###0.###"}), IsEmpty()); // the defaults
    EXPECT_FALSE(axis.visible());
    EXPECT_EQ(axis.Shown(), (ValueSpan{0, 400}));

    // Logarithmic with its own positive range: the range goes in first, so the flag is taken.
    ChartAxis logarithmic(-5, 200);
    const StoredAxis stored{kAxisVisibleBit | kAxisLogarithmicBit, 1000, 1, "0.0"};
    EXPECT_THAT(ApplyStoredAxis(logarithmic, stored), IsEmpty());
    EXPECT_EQ(StoreAxis(logarithmic), stored);

    ChartAxis refused(-5, 200);
    EXPECT_THAT(ApplyStoredAxis(refused, {kAxisVisibleBit | kAxisLogarithmicBit, 10, 50, ""}),
                ElementsAre(AxisRefusal::kMaximumBelowMinimum, AxisRefusal::kLogarithmicBelowZero));
    EXPECT_TRUE(refused.visible());
    EXPECT_FALSE(refused.logarithmic());
    EXPECT_EQ(refused.fixedSpan(), (ValueSpan{-5, 200}));
    EXPECT_EQ(refused.labelFormat(), "");

    // Other bits are ignored; the automatic flags go through their couplings.
    ChartAxis automatic(-5, 200);
    EXPECT_THAT(
        ApplyStoredAxis(automatic, {32 | kAxisAutomaticMaximumBit | kAxisAutomaticMinimumBit, 5, 1, "x"}),
        IsEmpty());
    EXPECT_EQ(StoreAxis(automatic).options,
              kAxisAutomaticBit | kAxisAutomaticMaximumBit | kAxisAutomaticMinimumBit);
}

TEST(AxisModel, StoringTruncatesTheEndsReadBackTowardZero) {
    ChartAxis axis(-5, 200);
    axis.SetAutomatic(true);
    axis.WorkOut(ValueSpan{-3.9, 12.9});
    const StoredAxis stored = StoreAxis(axis);
    EXPECT_EQ(stored.maximum, 12);
    EXPECT_EQ(stored.minimum, -3);
    EXPECT_EQ(TruncateToInt(1e12), std::numeric_limits<int>::max());
    EXPECT_EQ(TruncateToInt(-1e12), std::numeric_limits<int>::min());
    EXPECT_EQ(TruncateToInt(std::numeric_limits<double>::quiet_NaN()), 0);
}

} // namespace
} // namespace hz70
