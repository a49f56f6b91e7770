// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SettingsSet.h"

#include "app/core/DeviceList.h"
#include "support/FakeHz70Bus.h"

#include <gtest/gtest.h>
#include <string>
#include <tuple>

namespace hz70 {
namespace {

constexpr std::string_view kGoodZone = "zone 1\naddress 5\nname Piec\n";

// A refusal's fault and the data its words need, as one comparable value.
auto Facts(const SetRefusal& r) {
    return std::tuple(r.lineNumber, r.zone, r.fault, r.setting, r.text, r.number, r.otherZone, r.min, r.max);
}

TEST(SettingsSet, RefusesEveryBadLineWithItsReason) {
    using enum SetFault;
    const struct {
        std::string text;
        SetRefusal refusal;
    } cases[] = {
        {"time x\nbogus\n", {2, 0, kNotUnderstood, "", "bogus"}},
        {"zone 9\n", {1, 0, kNotAZone, "", "9"}},
        {"zone 1\nzone 1\n", {2, 0, kZoneGivenTwice, "", "", 1}},
        {"zone 1\naddress 300\n", {2, 1, kNotAnAddress, "", "300"}},
        {std::string(kGoodZone) + "zone 2\naddress 5\n", {5, 2, kAddressShared, "", "", 5, 1}},
        {std::string(kGoodZone) + "STOP 1\n", {4, 1, kUnknownSetting, "STOP", ""}},
        {std::string(kGoodZone) + "sp 1\n", {4, 1, kUnknownSetting, "sp", ""}},
        {std::string(kGoodZone) + "XP 20 %\nXP 20\n", {5, 1, kSettingGivenTwice, "XP", ""}},
        {std::string(kGoodZone) + "XP 0 %\n", {4, 1, kOutOfRange, "XP", "0", 0, 0, 1, 200}},
        {std::string(kGoodZone) + "DEG 2\n", {4, 1, kOutOfRange, "DEG", "2", 0, 0, 0, 1}},
        {std::string(kGoodZone) + "SP 70000\n", {4, 1, kOutOfRange, "SP", "70000", 0, 0, 0, 537}},
        {std::string(kGoodZone) + "ti 1.5 s\n", {4, 1, kNotAWholeNumber, "ti", "1.5"}},
    };
    for (const auto& c : cases) {
        const ParsedSettingsSet parsed = ParseSettingsSet(c.text);
        ASSERT_EQ(parsed.refusals.size(), 1u) << c.text;
        EXPECT_EQ(Facts(parsed.refusals[0]), Facts(c.refusal)) << c.text;
    }
}

// Zones at addresses 1..8 on a fake line, each holding register 4000 + n as n * 10 + address.
struct SetLine : test::FakeHz70Line {
    PollingState polling;
    DeviceList devices;
    LineAccess access{trans, polling};

    SetLine() {
        ZoneList zones;
        zones.DevCount = kZoneSlots;
        for (int slot = 0; slot < kZoneSlots; ++slot) {
            zones.DevAddr[static_cast<std::size_t>(slot)] = slot + 1;
            for (int line = 0; line < kSettingsBlock; ++line) {
                bus.slaves[static_cast<std::uint8_t>(slot + 1)]
                    .registers[static_cast<std::uint16_t>(4000 + line)] = Word(line, slot + 1);
            }
        }
        RebuildDeviceList(devices, zones, trans, polling);
        bus.requests.clear();
    }
    // A value within every line's limits; only zone 1 works in °F.
    static std::uint16_t Word(int line, int address) {
        if (line == kTemperatureUnitLine) {
            return address == 1 ? 1 : 0;
        }
        const TParametr& row = RegisterMap[static_cast<std::size_t>(kMeasuredRows + line)];
        return static_cast<std::uint16_t>(row.min +
                                          (line * 10 + address) % static_cast<int>(row.max - row.min + 1));
    }
    TRegulator& zone(int slot) { return devices[static_cast<std::size_t>(slot)]->record; }
    int WritesTo(std::uint8_t address) const {
        int n = 0;
        for (const test::SeenRequest& r : bus.requests) {
            n += r.address == address && r.function == 6 ? 1 : 0;
        }
        return n;
    }
};

TEST(SettingsSet, SavedSetWritesBackOnlyTheDifferencesAndReadsThemBack) {
    SetLine line;
    SettingsSet set{"2026-12-09 20:00:00", "COM1", {}};
    for (const auto& device : line.devices) {
        set.zones.push_back(ZoneSettingsOf(device->record));
    }
    const ParsedSettingsSet parsed = ParseSettingsSet(FormatSettingsSet(set));
    ASSERT_TRUE(parsed.refusals.empty()) << parsed.refusals.front().lineNumber;
    ASSERT_EQ(parsed.set.zones.size(), 8u);

    line.bus.slaves[2].registers[4006] = 77;
    ASSERT_EQ(ReadSettings(line.zone(1), line.trans, line.polling, 4000, kSettingsBlock), ReadOutcome::kRead);
    const ZonePairing pairing = PairZone(parsed.set, line.zone(1), false);
    ASSERT_NE(pairing.saved, nullptr);
    const auto differences = Differences(*pairing.saved, line.zone(1));
    ASSERT_EQ(differences.size(), 1u);
    EXPECT_EQ(differences[0].line, 6);
    EXPECT_EQ(differences[0].now, 77);

    line.bus.requests.clear();
    const auto results = WriteDifferences(line.zone(1), line.access, *pairing.saved);
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].verdict, WriteVerdict::kWritten);
    EXPECT_EQ(line.WritesTo(2), 1);
    EXPECT_EQ(line.bus.slaves[2].registers[4006], SetLine::Word(6, 2));
    EXPECT_TRUE(Differences(*pairing.saved, line.zone(1)).empty());

    // Zone 2 moved to another address: the file's zone 2 no longer fits it.
    line.zone(1).address = 40;
    const ZonePairing moved = PairZone(parsed.set, line.zone(1), false);
    EXPECT_EQ(std::pair(moved.fault, moved.fileAddress), std::pair(PairingFault::kOtherAddress, 2));
}

TEST(SettingsSet, CopiesZoneOneToTheOthersUnitFirstSecurityCodeLeftOut) {
    SetLine line;
    const ZoneSettings first = ZoneSettingsOf(line.zone(0));
    line.bus.slaves[3].writeException = 3;
    line.bus.slaves[4].silent = true;
    for (int slot = 1; slot < kZoneSlots; ++slot) {
        line.bus.requests.clear();
        const auto results = WriteDifferences(line.zone(slot), line.access, first);
        const auto address = static_cast<std::uint8_t>(slot + 1);
        ASSERT_FALSE(results.empty());
        if (address == 4) { // the first write alone (sent twice), not every setting
            EXPECT_EQ(line.bus.requests.size(), 2u);
            ASSERT_EQ(results.size(), 1u);
            EXPECT_EQ(std::pair(results[0].reason, results[0].skipped),
                      std::pair(WriteReason::kNoAnswer, 15));
            continue;
        }
        EXPECT_EQ(results.front().line, kTemperatureUnitLine) << "the unit goes first";
        EXPECT_EQ(results.back().verdict, WriteVerdict::kLeftOut);
        EXPECT_EQ(results.back().line, kSecurityCodeLine);
        if (address == 3) {
            EXPECT_EQ(std::pair(results.front().reason, results.front().exception),
                      std::pair(WriteReason::kException, 3));
            continue;
        }
        for (int l = 0; l < kSettingsBlock; ++l) {
            const auto reg = static_cast<std::uint16_t>(4000 + l);
            EXPECT_EQ(line.bus.slaves[address].registers[reg],
                      l == kSecurityCodeLine ? SetLine::Word(l, address) : SetLine::Word(l, 1))
                << "address " << int(address) << " line " << l;
        }
    }
}

} // namespace
} // namespace hz70
