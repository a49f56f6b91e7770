// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/ZoneListEditor.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hz70 {
namespace {

using ::testing::ElementsAre;

ZoneList Zones(int count, ZoneAddresses addresses) {
    ZoneList zones;
    zones.DevCount = count;
    zones.DevAddr = addresses;
    return zones;
}

std::vector<std::string> Lines(const ZoneListEditor& editor) {
    std::vector<std::string> lines;
    for (int i = 0; i < editor.lineCount(); ++i) {
        lines.push_back(editor.Line(i));
    }
    return lines;
}

TEST(ZoneListTexts, LineKeepsASignPlaceAndATabBeforeTheNameWhichIsNoFormat) {
    EXPECT_EQ(ZoneLine(1, "STREFA  1"), " 1  \tSTREFA  1");
    EXPECT_EQ(ZoneLine(17, "Piec"), " 17 \tPiec");
    EXPECT_EQ(ZoneLine(247, ""), " 247 \t");
    EXPECT_EQ(ZoneLine(3, "%s%n%d"), " 3  \t%s%n%d");
}

TEST(ZoneListTexts, FullListMessagePadsTheNumber) {
    EXPECT_EQ(ListFullText(), "Może być maksymalnie  8 stref");
}

TEST(ZoneListTexts, NumberFieldsTakeASignAndDecimalDigitsOnly) {
    struct Case {
        const char* field;
        std::optional<int> value;
    };
    for (const Case& c : {
             Case{"500", 500},
             Case{"+7", 7},
             Case{"-20", -20},
             Case{"007", 7},
             Case{"2147483647", 2147483647},
             Case{"-2147483648", -2147483647 - 1},
             Case{"2147483648", std::nullopt},
             Case{"-2147483649", std::nullopt},
             Case{"99999999999999999999", std::nullopt},
             Case{"$1F4", std::nullopt},
             Case{"0x1F4", std::nullopt},
             Case{"12 ", std::nullopt},
             Case{" 12", 12},
             Case{"1 2", std::nullopt},
             Case{"1.0", std::nullopt},
             Case{"1a", std::nullopt},
             Case{"", std::nullopt},
             Case{"-", std::nullopt},
             Case{"+-1", std::nullopt},
         }) {
        EXPECT_EQ(ParseDecimalField(c.field), c.value) << '"' << c.field << '"';
    }
}

TEST(ZoneListTexts, AddressFieldTakesTheModbusRangeOnly) {
    EXPECT_EQ(ParseZoneAddress("1"), 1);
    EXPECT_EQ(ParseZoneAddress("247"), 247);
    for (const char* refused : {"0", "248", "-5", "-0", "abc", "12 ", "$10", "0x10"}) {
        EXPECT_EQ(ParseZoneAddress(refused), std::nullopt) << refused;
    }
}

TEST(ZoneListTexts, NameKeepsWhatTheSettingsFileHoldsCutToTwentyNineCharacters) {
    EXPECT_EQ(ZoneNameFromField(std::string(30, 'x')), std::string(29, 'x'));
    EXPECT_EQ(ZoneNameFromField(std::string(29, 'x')), std::string(29, 'x'));
    // Characters, not bytes: 30 two-byte letters keep 29 whole ones.
    std::string polish;
    for (int i = 0; i < 30; ++i) {
        polish += "ż";
    }
    EXPECT_EQ(ZoneNameFromField(polish), polish.substr(0, 58));
    // What the name loses is left out before the cut, so the cut still keeps 29.
    EXPECT_EQ(ZoneNameFromField(";" + std::string(29, 'x') + "y"), std::string(29, 'x'));

    struct Case {
        const char* field;
        const char* name;
    };
    for (const Case& c : {
             Case{"Strefa;A;", "StrefaA"},
             Case{"Piec\r\n2", "Piec2"},
             Case{"Piec\n", "Piec"},
             Case{"A\tB\x7f", "AB"},
             Case{"Źródło € „ł”", "Źródło € „ł”"}, // all in Windows-1250
             Case{"Piec ✓ 日本", "Piec  "},
             Case{"\xff\xfe", ""}, // not UTF-8
             Case{"", ""},
         }) {
        EXPECT_EQ(ZoneNameFromField(c.field), c.name) << c.field;
        EXPECT_EQ(ZoneNameCharacters(c.field) == c.field, std::string_view(c.field) == c.name) << c.field;
    }
}

TEST(ZoneListEditor, ShowsTheConfiguredZonesUpToTheFirstEmptySlot) {
    EXPECT_THAT(Lines(ZoneListEditor(ZoneList{})), ElementsAre(" 1  \tSTREFA  1"));
    EXPECT_EQ(ZoneListEditor(Zones(3, {1, 2, 3, 0, 0, 0, 0, 0})).lineCount(), 3);
    EXPECT_EQ(ZoneListEditor(Zones(3, {1, 0, 3, 0, 0, 0, 0, 0})).lineCount(), 1);
    EXPECT_EQ(ZoneListEditor(Zones(2, {1, 2, 3, 0, 0, 0, 0, 0})).lineCount(), 2);
    EXPECT_EQ(ZoneListEditor(Zones(0, {1, 2, 3, 0, 0, 0, 0, 0})).lineCount(), 0);
    EXPECT_EQ(ZoneListEditor(Zones(12, {1, 2, 3, 4, 5, 6, 7, 8})).lineCount(), 8);
}

TEST(ZoneListEditor, RemoveMovesLaterEntriesUpAndKeepsTheLastOne) {
    ZoneListEditor full{Zones(8, {11, 12, 13, 14, 15, 16, 17, 18})};
    EXPECT_TRUE(full.Remove(1));
    EXPECT_THAT(full.Addr(), ElementsAre(11, 13, 14, 15, 16, 17, 18, 0));
    EXPECT_EQ(full.Names()[1], "STREFA  3");
    EXPECT_EQ(full.Names()[6], "STREFA  8");
    EXPECT_EQ(full.Names()[7], "STREFA  8");
    EXPECT_EQ(full.lineCount(), 7);

    ZoneListEditor three{Zones(3, {1, 2, 3, 0, 0, 0, 0, 0})};
    EXPECT_FALSE(three.Remove(-1));
    EXPECT_FALSE(three.Remove(3));
    EXPECT_TRUE(three.Remove(1));
    EXPECT_THAT(Lines(three), ElementsAre(" 1  \tSTREFA  1", " 3  \tSTREFA  3"));
    EXPECT_TRUE(three.Remove(0));
    EXPECT_FALSE(three.Remove(0));
    EXPECT_THAT(Lines(three), ElementsAre(" 3  \tSTREFA  3"));
}

TEST(ZoneListEditor, AppliedListHasOneZonePerLineAndNothingBeyond) {
    ZoneListEditor editor{Zones(4, {1, 2, 3, 4, 0, 0, 0, 0})};
    ASSERT_TRUE(editor.Remove(3));
    ASSERT_TRUE(editor.Remove(2));
    ZoneList applied = editor.Applied();
    EXPECT_EQ(applied.DevCount, 2);
    EXPECT_THAT(applied.DevAddr, ElementsAre(1, 2, 0, 0, 0, 0, 0, 0));

    // A file that names more addresses than zones: the extra ones are not handed on.
    applied = ZoneListEditor(Zones(2, {1, 2, 3, 0, 0, 0, 0, 9})).Applied();
    EXPECT_EQ(applied.DevCount, 2);
    EXPECT_THAT(applied.DevAddr, ElementsAre(1, 2, 0, 0, 0, 0, 0, 0));
}

TEST(ZoneListEditor, SearchListsFoundControllersUnderTheSlotNames) {
    ZoneListEditor editor{Zones(3, {1, 2, 3, 0, 0, 0, 0, 0})};
    editor.BeginSearch(); // a search that cannot ask the bus gives back the entries it started from
    editor.AbandonSearch();
    EXPECT_THAT(Lines(editor), ElementsAre(" 1  \tSTREFA  1", " 2  \tSTREFA  2", " 3  \tSTREFA  3"));
    editor.BeginSearch();
    EXPECT_EQ(editor.lineCount(), 0);
    EXPECT_THAT(editor.Addr(), ElementsAre(0, 0, 0, 0, 0, 0, 0, 0));
    editor.AppendFound(3);
    editor.AppendFound(17);
    EXPECT_FALSE(editor.EndSearch());
    EXPECT_THAT(Lines(editor), ElementsAre(" 3  \tSTREFA  1", " 17 \tSTREFA  2"));

    editor.BeginSearch();
    EXPECT_TRUE(editor.EndSearch());
    EXPECT_THAT(Lines(editor), ElementsAre(" 1  \tSTREFA  1"));
}

} // namespace
} // namespace hz70
