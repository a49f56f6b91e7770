// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/BarLabels.h"

#include <gtest/gtest.h>

namespace hz70 {
namespace {

TEST(BarLabels, ValueTextGroupsThousandsAndShowsAtMostOneDecimal) {
    EXPECT_EQ(BarValueText(0.0, ".", ","), "0");
    EXPECT_EQ(BarValueText(215.3, ".", ","), "215.3");
    EXPECT_EQ(BarValueText(25.0, ".", ","), "25");
    EXPECT_EQ(BarValueText(-1.5, ".", ","), "-1.5");
    EXPECT_EQ(BarValueText(3276.7, ".", ","), "3,276.7");
    EXPECT_EQ(BarValueText(-3276.8, ".", ","), "-3,276.8");
    EXPECT_EQ(BarValueText(1234567.0, ".", ","), "1,234,567");
    EXPECT_EQ(BarValueText(999.96, ".", ","), "1,000");
    // Scaled words are not exact in binary; the shown decimal must still be the reported one.
    EXPECT_EQ(BarValueText(2153 * 0.1, ".", ","), "215.3");
    EXPECT_EQ(BarValueText(-0.04, ".", ","), "0");
}

TEST(BarLabels, ValueTextUsesTheLocaleSeparators) {
    EXPECT_EQ(BarValueText(1234.5, ",", "\u00a0"), "1\u00a0234,5");
    EXPECT_EQ(BarValueText(215.3, ",", "."), "215,3");
}

TEST(BarLabels, MarkupShowsTheLabelAsTyped) {
    EXPECT_EQ(LabelMarkup("Piec 1[°C]"), "Piec\u00a01[°C]");
    EXPECT_EQ(LabelMarkup("<b>A&B</b>"), "&lt;b&gt;A&amp;B&lt;/b&gt;");
    EXPECT_EQ(LabelMarkup("a  &amp;"), "a\u00a0\u00a0&amp;amp;");
    EXPECT_EQ(LabelMarkup(""), "");
}

TEST(BarLabels, RepeatedLabelsBecomeDistinct) {
    EXPECT_EQ(DistinctLabels({"Piec", "Piec", "Wanna", "Piec"}),
              (std::vector<std::string>{"Piec", "Piec ", "Wanna", "Piec  "}));
    EXPECT_EQ(DistinctLabels({"a", "a ", "a"}), (std::vector<std::string>{"a", "a ", "a  "}));
}

} // namespace
} // namespace hz70
