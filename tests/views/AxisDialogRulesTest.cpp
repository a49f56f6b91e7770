// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/AxisDialog.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

AxisControls Typed(const char* minimum, const char* maximum) {
    AxisControls controls;
    controls.visible = true;
    controls.minimumText = minimum;
    controls.maximumText = maximum;
    controls.format = "###0.###";
    return controls;
}

TEST(AxisDialogRules, LimitsAreRealNumbersTruncatedTowardZero) {
    EXPECT_EQ(ParseAxisLimit("12.9", "."), 12);
    EXPECT_EQ(ParseAxisLimit("-3.9", "."), -3);
    EXPECT_EQ(ParseAxisLimit(" 1e3 ", "."), 1000);
    EXPECT_EQ(ParseAxisLimit("+7", "."), 7);
    EXPECT_EQ(ParseAxisLimit("12,9", ","), 12);
    EXPECT_EQ(ParseAxisLimit("12.9", ","), std::nullopt); // not the locale's separator
    for (const char* bad : {"abc", "", " ", "1 2", "12,9", "+-1", "inf", "nan", "0x10", "3000000000"}) {
        EXPECT_EQ(ParseAxisLimit(bad, "."), std::nullopt) << bad;
    }
    EXPECT_EQ(ParseAxisLimit("-2147483648.5", "."), -2147483647 - 1);
}

TEST(AxisDialogRules, StoringReadsTheMinimumFirstAndStopsAtABadNumber) {
    AxisSettings settings{1, 0, 0, 0, 0, 200, -5, "###0.###"};
    EXPECT_FALSE(StoreAxisControls(Typed("abc", "50"), settings, "."));
    EXPECT_EQ(settings.minimum, -5);
    EXPECT_EQ(settings.maximum, 200); // not read after the bad minimum

    EXPECT_FALSE(StoreAxisControls(Typed("10", ""), settings, "."));
    EXPECT_EQ(settings.minimum, 10); // read before the bad maximum
    EXPECT_EQ(settings.maximum, 200);

    AxisControls controls = Typed("-3.9", "12.9");
    controls.logarithmic = true;
    controls.format = "";
    EXPECT_TRUE(StoreAxisControls(controls, settings, "."));
    EXPECT_EQ(settings, (AxisSettings{1, 0, 1, 0, 0, 12, -3, ""}));
}

TEST(AxisDialogRules, AnAutomaticEndsTextIsNotRead) {
    AxisSettings settings{1, 0, 0, 0, 0, 200, -5, ""};
    AxisControls controls = Typed("abc", "abc");
    controls.autoMinimum = true;
    controls.autoMaximum = true;
    controls.automatic = true;
    EXPECT_TRUE(StoreAxisControls(controls, settings, "."));
    EXPECT_EQ(settings.minimum, -5);
    EXPECT_EQ(settings.maximum, 200);
    EXPECT_EQ(settings.automatic, 1);
}

TEST(AxisDialogRules, EditsAndEndBoxesFollowTheAutomaticBoxes) {
    EXPECT_EQ(EnabledAxisControls(false, false, false), (AxisControlsEnabled{true, true, true}));
    EXPECT_EQ(EnabledAxisControls(true, true, true), (AxisControlsEnabled{false, false, false}));
    EXPECT_EQ(EnabledAxisControls(false, true, true), (AxisControlsEnabled{false, false, true}));
    EXPECT_EQ(EnabledAxisControls(false, true, false), (AxisControlsEnabled{false, true, true}));
    EXPECT_EQ(EnabledAxisControls(false, false, true), (AxisControlsEnabled{true, false, true}));
}

TEST(AxisDialogRules, OpeningReadsTheAxisWithTruncatedEnds) {
    ChartAxis axis(-2.5, 100);
    axis.SetLabelFormat("0.0");
    EXPECT_EQ(ReadAxisSettings(axis), (AxisSettings{1, 0, 0, 0, 0, 100, -2, "0.0"}));
}

class AxisDialogApply : public ::testing::Test {
protected:
    ChartAxis left{-5, 200};
    ChartAxis right{-2.5, 100};
    AxisSettings l = ReadAxisSettings(left);
    AxisSettings r = ReadAxisSettings(right);
};

TEST_F(AxisDialogApply, ARangeWhollyBelowTheOldMinimumIsTaken) {
    l.maximum = -10;
    l.minimum = -30;
    EXPECT_EQ(ApplyAxisSettings(left, right, l, r).refusal, AxisRefusal::kNone);
    EXPECT_EQ(left.fixedSpan(), (ValueSpan{-30, -10}));
}

TEST_F(AxisDialogApply, LogarithmicComesBeforeTheScaleAndTheRangeAndARefusalStopsTheRest) {
    // Judged on the range the axis has, not on the one typed with it: refused, and only the
    // visibility before it is applied.
    l = {0, 1, 1, 1, 1, 1000, 1, "0.0"};
    AxisDialogOutcome outcome = ApplyAxisSettings(left, right, l, r);
    EXPECT_EQ(outcome.refusal, AxisRefusal::kLogarithmicBelowZero);
    EXPECT_FALSE(outcome.complete());
    EXPECT_FALSE(left.visible());
    EXPECT_FALSE(left.logarithmic() || left.automatic());
    EXPECT_EQ(left.fixedSpan(), (ValueSpan{-5, 200}));
    EXPECT_EQ(left.labelFormat(), "###0.###");

    // Once the range allows it the left axis takes it; the right one, still below 0, stops the rest.
    ASSERT_EQ(SetAxisRange(left, 1, 1000), AxisRefusal::kNone);
    r.logarithmic = 1;
    outcome = ApplyAxisSettings(left, right, l, r);
    EXPECT_EQ(outcome.refusal, AxisRefusal::kLogarithmicBelowZero);
    EXPECT_TRUE(left.logarithmic());
    EXPECT_FALSE(right.logarithmic() || left.automatic());

    // Before the scale: an automatic axis reading positive ends takes it while going back to a
    // fixed range below 0.
    ChartAxis automatic(-5, 200);
    automatic.SetAutomatic(true);
    automatic.WorkOut(ValueSpan{20, 180});
    const AxisSettings fixedLogarithmic{1, 0, 1, 0, 0, 200, -5, "###0.###"};
    r.logarithmic = 0;
    EXPECT_TRUE(ApplyAxisSettings(automatic, right, fixedLogarithmic, r).complete());
    EXPECT_TRUE(automatic.logarithmic());
    EXPECT_FALSE(automatic.automatic());
}

} // namespace
} // namespace hz70
