// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/FloatMask.h"

#include <gtest/gtest.h>
#include <limits>

namespace hz70 {
namespace {

std::string Dot(std::string_view mask, double value) {
    return FormatFloatMask(mask, value, ".", ",");
}

TEST(ChartLabelFormat, DefaultAxisMaskShowsUpToThreeDecimalsWithoutTrailingZeros) {
    EXPECT_EQ(Dot("###0.###", 0), "0");
    EXPECT_EQ(Dot("###0.###", 200), "200");
    EXPECT_EQ(Dot("###0.###", -5), "-5");
    EXPECT_EQ(Dot("###0.###", 25.3f), "25.3"); // a single-precision sample
    EXPECT_EQ(Dot("###0.###", 0.5), "0.5");
    EXPECT_EQ(Dot("###0.###", 1234.5678), "1234.568");
    EXPECT_EQ(Dot("###0.###", 123456.7), "123456.7"); // more digits than places: all shown
    EXPECT_EQ(Dot("###0.###", 0.00004), "0");
    EXPECT_EQ(Dot("###0.###", -0.00004), "0"); // rounds to zero: no sign
}

TEST(ChartLabelFormat, PlacesPaddingGroupingAndLiterals) {
    EXPECT_EQ(Dot("0.00", 3), "3.00");
    EXPECT_EQ(Dot("000", 7), "007");
    EXPECT_EQ(Dot("#.##", 0.25), ".25");
    EXPECT_EQ(Dot("#", 0), "");
    EXPECT_EQ(Dot("0", 2.5), "2"); // the exact binary tie rounds to even
    EXPECT_EQ(Dot("0", 2.51), "3");
    EXPECT_EQ(Dot("#,##0", 1234567), "1,234,567");
    EXPECT_EQ(Dot("#,##0.0", -1234.56), "-1,234.6");
    EXPECT_EQ(Dot("0 \"°C\"", 21), "21 °C");
    EXPECT_EQ(Dot("'T='0.0", 4), "T=4.0");
    EXPECT_EQ(Dot("0%", 50), "50%");
    EXPECT_EQ(Dot(".0", 12.5), "12.5"); // integer digits go before the point when no place is given
}

TEST(ChartLabelFormat, ScientificNotation) {
    EXPECT_EQ(Dot("0.00E+00", 12345), "1.23E+04");
    EXPECT_EQ(Dot("0.00E+00", 0.00123), "1.23E-03");
    EXPECT_EQ(Dot("0.0e-0", 1500), "1.5e3");
    EXPECT_EQ(Dot("0.0e-0", 0.015), "1.5e-2");
    EXPECT_EQ(Dot("00.0E+0", 12345), "12.3E+3");
    EXPECT_EQ(Dot("0.0E+00", 0), "0.0E+00");
}

TEST(ChartLabelFormat, SectionsForNegativeAndZeroValues) {
    EXPECT_EQ(Dot("0.0;(0.0)", -2.5), "(2.5)");
    EXPECT_EQ(Dot("0.0;(0.0)", 2.5), "2.5");
    EXPECT_EQ(Dot("0.0;(0.0);\"zero\"", 0.01), "zero");
    EXPECT_EQ(Dot("0.0;;\"zero\"", -2.5), "-2.5"); // an empty section falls back to the first
    EXPECT_EQ(Dot("\"a;b\"0", 5), "a;b5");         // a quoted ";" splits nothing
}

TEST(ChartLabelFormat, EmptyMaskHugeNumbersAndNonNumbersUseTheGeneralForm) {
    EXPECT_EQ(Dot("", 12.5), "12.5");
    EXPECT_EQ(Dot("", 1e20), "1E20");
    EXPECT_EQ(Dot("", 0.00001), "1E-5");
    EXPECT_EQ(Dot("", -400), "-400");
    EXPECT_EQ(Dot("", -0.0), "0");
    EXPECT_EQ(Dot("0", 1e19), "1E19");
    EXPECT_EQ(Dot("0E+0;0", -1e19), "-1E19") << "a fixed negative section beside a scientific one";
    // Masks from the settings file may ask for more places than a double holds: zeros, not a crash.
    EXPECT_EQ(Dot("0." + std::string(600, '0'), 0.5), "0.5" + std::string(599, '0'));
    EXPECT_EQ(Dot("0." + std::string(600, '0') + "E+0", 5), "5." + std::string(600, '0') + "E+0");
    EXPECT_EQ(Dot("0", std::numeric_limits<double>::infinity()), "INF");
    EXPECT_EQ(Dot("0", std::numeric_limits<double>::quiet_NaN()), "NAN");
}

TEST(ChartLabelFormat, SeparatorsComeFromTheLocale) {
    EXPECT_EQ(FormatFloatMask("#,##0.###", 12345.5, ",", "\u00A0"), "12\u00A0345,5");
    EXPECT_EQ(FormatFloatMask("", 0.25, ",", " "), "0,25");
}

} // namespace
} // namespace hz70
