// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/ModbusSlave.h"

#include <gtest/gtest.h>
#include <vector>

namespace hz70::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Read(std::uint16_t reg, std::uint16_t count) {
    return {3, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg),
            static_cast<std::uint8_t>(count >> 8), static_cast<std::uint8_t>(count)};
}

Bytes Write(std::uint16_t reg, std::uint16_t value) {
    return {6, static_cast<std::uint8_t>(reg >> 8), static_cast<std::uint8_t>(reg),
            static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
}

std::uint16_t WordOf(const Bytes& reply, std::size_t index) {
    return static_cast<std::uint16_t>(reply[2 + 2 * index] << 8 | reply[3 + 2 * index]);
}

TEST(ModbusSlave, ReadsTheMeasuredBlockAsTheZoneReportsIt) {
    SlaveDevice device;
    device.zone.advance(5.0);
    const Bytes reply = Answer(device, Read(4018, 7));
    ASSERT_EQ(reply.size(), 2u + 14u);
    EXPECT_EQ(reply[0], 3);
    EXPECT_EQ(reply[1], 14);
    const auto measured = device.zone.measured();
    for (std::size_t i = 0; i < 7; ++i) {
        EXPECT_EQ(WordOf(reply, i), static_cast<std::uint16_t>(measured[i])) << i;
    }
}

TEST(ModbusSlave, ReadsTheSettingsBlockAndEachPartOfIt) {
    SlaveDevice device;
    const Bytes block = Answer(device, Read(4000, 16));
    ASSERT_EQ(block.size(), 2u + 32u);
    EXPECT_EQ(WordOf(block, 0), 200);
    EXPECT_EQ(WordOf(block, 3), 30);
    const Bytes stop = Answer(device, Read(4016, 1));
    EXPECT_EQ(stop, (Bytes{3, 2, 0, 1}));
    EXPECT_EQ(Answer(device, Read(4024, 1)).size(), 4u);
}

TEST(ModbusSlave, RefusesRegistersOutsideTheMapWithException2) {
    SlaveDevice device;
    for (const auto& [reg, count] : {std::pair{4017, 1},
                                     {4016, 2},
                                     {4010, 10},
                                     {3999, 1},
                                     {4000, 25},
                                     {4024, 2},
                                     {4025, 1},
                                     {0, 1},
                                     {65535, 1}}) {
        EXPECT_EQ(Answer(device, Read(static_cast<std::uint16_t>(reg), static_cast<std::uint16_t>(count))),
                  (Bytes{0x83, 2}))
            << reg << " x " << count;
    }
}

TEST(ModbusSlave, RefusesCountsOf0OrAbove125WithException3) {
    SlaveDevice device;
    EXPECT_EQ(Answer(device, Read(4018, 0)), (Bytes{0x83, 3}));
    EXPECT_EQ(Answer(device, Read(4018, 126)), (Bytes{0x83, 3}));
    EXPECT_EQ(Answer(device, Read(4018, 125)), (Bytes{0x83, 2})) << "a legal count that runs past the map";
}

TEST(ModbusSlave, WritesWithinLimitsEchoAndOthersGetException3) {
    SlaveDevice device;
    EXPECT_EQ(Answer(device, Write(4003, 100)), Write(4003, 100));
    EXPECT_EQ(device.zone.settings().word(Setting::PS), 100);
    EXPECT_EQ(Answer(device, Write(4003, 101)), (Bytes{0x86, 3}));
    EXPECT_EQ(Answer(device, Write(4000, 4464)), (Bytes{0x86, 3}));
    EXPECT_EQ(device.zone.settings().word(Setting::PS), 100);
    EXPECT_EQ(Answer(device, Write(4017, 0)), (Bytes{0x86, 2}));
    EXPECT_EQ(Answer(device, Write(4018, 0)), (Bytes{0x86, 2})) << "measured values are read only";
    EXPECT_EQ(Answer(device, Write(4016, 0)), Write(4016, 0));
    EXPECT_FALSE(device.zone.statusWord() & StatusBit::Automatic);
    device.refusedWrites = 4;
    EXPECT_EQ(Answer(device, Write(4003, 50)), (Bytes{0x86, 4}));
    ApplyBroadcast(device, Write(4003, 50));
    EXPECT_EQ(device.zone.settings().word(Setting::PS), 100) << "a refused write stores nothing";
}

TEST(ModbusSlave, ReportSlaveIdGivesTheDevicesIdAndRunIndicator) {
    SlaveDevice hz70;
    EXPECT_EQ(Answer(hz70, Bytes{17}), (Bytes{17, 2, 0x8E, 0xFF}));
    SlaveDevice foreign;
    foreign.slaveId = 77;
    EXPECT_EQ(Answer(foreign, Bytes{17}), (Bytes{17, 2, 77, 0xFF}));
    EXPECT_EQ(Answer(foreign, Read(4018, 7)), (Bytes{0x83, 2})) << "a foreign device has no HZ70 registers";
    EXPECT_EQ(Answer(foreign, Write(4000, 100)), (Bytes{0x86, 2}));
}

TEST(ModbusSlave, OtherFunctionsAndMalformedRequestsAreRefused) {
    SlaveDevice device;
    EXPECT_EQ(Answer(device, Bytes{4, 0x0F, 0xB2, 0, 7}), (Bytes{0x84, 1}));
    EXPECT_EQ(Answer(device, Bytes{16, 0x0F, 0xA0, 0, 1, 2, 0, 1}), (Bytes{0x90, 1}));
    EXPECT_EQ(Answer(device, Bytes{3, 0x0F, 0xB2, 0}), (Bytes{0x83, 3}));
    EXPECT_EQ(Answer(device, Bytes{17, 0}), (Bytes{0x91, 3}));
}

TEST(ModbusSlave, BroadcastWritesActButNothingElseDoes) {
    SlaveDevice device;
    ApplyBroadcast(device, Write(4000, 250));
    ApplyBroadcast(device, Write(4003, 101));
    EXPECT_EQ(device.zone.settings().word(Setting::SP), 250);
    EXPECT_EQ(device.zone.settings().word(Setting::PS), 30);
}

} // namespace
} // namespace hz70::sim
