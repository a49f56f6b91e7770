// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/HeatingZone.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace hz70::sim {
namespace {

constexpr int kTemperature = 2;
constexpr int kSetpoint = 3;
constexpr int kOutput = 4;
constexpr int kCurrent = 5;
constexpr int kLeakage = 6;

PlantParameters QuietPlant() {
    PlantParameters plant;
    plant.noise = 0.0;
    return plant;
}

struct Trace {
    double firstWithinBand = -1.0; // s, start of the last stay within ±2 °C of the target
    double peak = 0.0;
};

// Steps the zone for `seconds`, watching how it approaches `target`.
Trace RunFor(HeatingZone& zone, double seconds, double target) {
    Trace trace;
    for (double t = 0.0; t < seconds; t += 1.0) {
        zone.advance(1.0);
        trace.peak = std::max(trace.peak, zone.temperature());
        const bool inBand = std::fabs(zone.temperature() - target) <= 2.0;
        if (!inBand) {
            trace.firstWithinBand = -1.0;
        } else if (trace.firstWithinBand < 0.0) {
            trace.firstWithinBand = t + 1.0;
        }
    }
    return trace;
}

TEST(HeatingZone, FromColdReachesAndHolds200WithinFiveMinutes) {
    HeatingZone zone(QuietPlant());
    ASSERT_EQ(zone.settings().word(Setting::SP), 200);
    const Trace trace = RunFor(zone, 1200.0, 200.0);
    EXPECT_GT(trace.firstWithinBand, 0.0);
    EXPECT_LE(trace.firstWithinBand, 300.0);
    EXPECT_LE(trace.peak, 202.0);
    EXPECT_NEAR(zone.measured()[kTemperature] / 10.0, 200.0, 0.2);
    EXPECT_EQ(zone.measured()[kSetpoint], 2000);
}

// The bus varies its plants within these corners.
TEST(HeatingZone, EveryVariedZoneOfTheBusSettlesWithinSevenMinutes) {
    for (const double rise : {360.0, 440.0}) {
        for (const double timeConstant : {100.0, 160.0}) {
            PlantParameters plant = QuietPlant();
            plant.fullPowerRise = rise;
            plant.timeConstant = timeConstant;
            HeatingZone zone(plant);
            const Trace trace = RunFor(zone, 1200.0, 200.0);
            EXPECT_GT(trace.firstWithinBand, 0.0) << rise << " " << timeConstant;
            EXPECT_LE(trace.firstWithinBand, 400.0) << rise << " " << timeConstant;
            EXPECT_LE(trace.peak, 202.0) << rise << " " << timeConstant;
        }
    }
}

TEST(HeatingZone, SoftStartHoldsPowerAtPsUntilSprThenHandsOverToSp) {
    HeatingZone zone(QuietPlant());
    zone.advance(1.0);
    EXPECT_TRUE(zone.softStart());
    EXPECT_TRUE(zone.statusWord() & StatusBit::SoftStart);
    EXPECT_EQ(zone.measured()[kSetpoint], 1000); // SPR
    EXPECT_DOUBLE_EQ(zone.output(), 30.0);       // PS
    RunFor(zone, 400.0, 200.0);
    EXPECT_FALSE(zone.softStart());
    EXPECT_FALSE(zone.statusWord() & StatusBit::SoftStart);
    EXPECT_EQ(zone.measured()[kSetpoint], 2000);
}

TEST(HeatingZone, StopModeSettlesAtSplAndClearsTheAutomaticBit) {
    HeatingZone zone(QuietPlant());
    RunFor(zone, 900.0, 200.0);
    ASSERT_TRUE(zone.write(Setting::SPL, 120));
    ASSERT_TRUE(zone.write(Setting::STOP, 0));
    EXPECT_FALSE(zone.statusWord() & StatusBit::Automatic);
    const Trace trace = RunFor(zone, 1800.0, 120.0);
    EXPECT_NEAR(zone.temperature(), 120.0, 0.5);
    EXPECT_GT(trace.firstWithinBand, 0.0);
    EXPECT_EQ(zone.measured()[kSetpoint], 1200);
    EXPECT_EQ(zone.alarmWord() & AlarmBit::HighTemperature, 0) << "the band follows the setpoint in force";

    ASSERT_TRUE(zone.write(Setting::STOP, 1));
    EXPECT_TRUE(zone.statusWord() & StatusBit::Automatic);
    RunFor(zone, 900.0, 200.0);
    EXPECT_NEAR(zone.temperature(), 200.0, 0.5);
}

TEST(HeatingZone, FahrenheitConvertsTemperaturesAndSetsStatusBit8) {
    HeatingZone zone(QuietPlant());
    RunFor(zone, 900.0, 200.0);
    const double celsius = zone.temperature();
    ASSERT_TRUE(zone.write(Setting::DEG, 1));
    const auto words = zone.measured();
    EXPECT_TRUE(zone.statusWord() & StatusBit::Fahrenheit);
    EXPECT_NEAR(words[kTemperature] / 10.0, celsius * 1.8 + 32.0, 0.06);
    EXPECT_EQ(words[kSetpoint], 3920);
    EXPECT_EQ(zone.settings().word(Setting::SP), 392);
    RunFor(zone, 300.0, 200.0);
    EXPECT_NEAR(zone.temperature(), 200.0, 0.5) << "the zone is still held at the same temperature";
}

TEST(HeatingZone, LoadCurrentFollowsOutputAndManualModeHoldsIt) {
    PlantParameters plant = QuietPlant();
    plant.fullLoadCurrent = 5.0;
    HeatingZone zone(plant);
    zone.setManualOutput(40.0);
    zone.advance(10.0);
    EXPECT_TRUE(zone.statusWord() & StatusBit::Manual);
    EXPECT_FALSE(zone.statusWord() & StatusBit::SoftStart);
    EXPECT_EQ(zone.measured()[kOutput], 400);
    EXPECT_EQ(zone.measured()[kCurrent], 20);
    zone.setManualOutput(100.0);
    zone.advance(1.0);
    EXPECT_EQ(zone.measured()[kCurrent], 50);
    zone.setManualOutput(std::nullopt);
    zone.advance(1.0);
    EXPECT_FALSE(zone.statusWord() & StatusBit::Manual);
}

TEST(HeatingZone, AlarmBitsFollowInjectedFaults) {
    struct Case {
        ZoneFault fault;
        std::uint16_t bit;
    };
    for (const Case c :
         {Case{ZoneFault::SensorShort, AlarmBit::SensorShort},
          Case{ZoneFault::SensorOpen, AlarmBit::SensorOpen}, Case{ZoneFault::LoadShort, AlarmBit::LoadShort},
          Case{ZoneFault::LoadOpen, AlarmBit::LoadOpen}, Case{ZoneFault::Leakage, AlarmBit::Leakage},
          Case{ZoneFault::Fuse, AlarmBit::Fuse}, Case{ZoneFault::Ssr, AlarmBit::Ssr}}) {
        HeatingZone zone(QuietPlant());
        RunFor(zone, 900.0, 200.0);
        ASSERT_EQ(zone.alarmWord(), 0);
        zone.inject(c.fault);
        zone.advance(1.0);
        EXPECT_EQ(zone.alarmWord() & ~(AlarmBit::HighTemperature | AlarmBit::LowTemperature), c.bit)
            << static_cast<int>(c.fault);
        EXPECT_TRUE(zone.statusWord() & StatusBit::AlarmRelay) << "AUD is on from the factory";
        zone.clearFaults();
        zone.advance(1.0);
        EXPECT_EQ(zone.alarmWord() & c.bit, 0);
    }
}

TEST(HeatingZone, FaultsActOnThePlantAsTheyWould) {
    HeatingZone open(QuietPlant());
    RunFor(open, 900.0, 200.0);
    open.inject(ZoneFault::SensorOpen);
    open.advance(1.0);
    EXPECT_EQ(open.measured()[kTemperature], HeatingZone::kSensorOpenReading);
    EXPECT_EQ(open.output(), 0.0) << "TCB 0 switches the output off";
    EXPECT_EQ(open.alarmWord() & (AlarmBit::HighTemperature | AlarmBit::LowTemperature), 0);

    HeatingZone averaged(QuietPlant());
    ASSERT_TRUE(averaged.write(Setting::TCB, 1));
    RunFor(averaged, 900.0, 200.0);
    averaged.inject(ZoneFault::SensorShort);
    averaged.advance(1.0);
    EXPECT_EQ(averaged.measured()[kTemperature], 200) << "a shorted sensor reads the ambient";
    EXPECT_NEAR(averaged.output(), 45.0, 1.0) << "TCB 1 keeps the mean output";

    HeatingZone fuse(QuietPlant());
    RunFor(fuse, 900.0, 200.0);
    fuse.inject(ZoneFault::Fuse);
    fuse.advance(1.0);
    EXPECT_EQ(fuse.measured()[kCurrent], 0);
    RunFor(fuse, 120.0, 200.0);
    EXPECT_LT(fuse.temperature(), 180.0);
    EXPECT_TRUE(fuse.alarmWord() & AlarmBit::LowTemperature);

    HeatingZone ssr(QuietPlant());
    RunFor(ssr, 900.0, 200.0);
    ssr.inject(ZoneFault::Ssr);
    RunFor(ssr, 120.0, 200.0);
    EXPECT_GT(ssr.temperature(), 220.0);
    EXPECT_EQ(ssr.output(), 0.0);
    EXPECT_EQ(ssr.measured()[kCurrent], 40) << "full current although the output is off";
    EXPECT_TRUE(ssr.alarmWord() & AlarmBit::HighTemperature);

    HeatingZone leaking(QuietPlant());
    leaking.advance(1.0);
    EXPECT_LT(leaking.measured()[kLeakage], 10);
    leaking.inject(ZoneFault::Leakage);
    leaking.advance(1.0);
    EXPECT_EQ(leaking.measured()[kLeakage], 350);
}

TEST(HeatingZone, LowAlarmWaitsUntilTheZoneFirstReachesItsBand) {
    HeatingZone zone(QuietPlant());
    for (int s = 0; s < 240; ++s) {
        zone.advance(1.0);
        ASSERT_EQ(zone.alarmWord() & AlarmBit::LowTemperature, 0) << "heating up at " << s << " s";
    }
}

TEST(HeatingZone, SteppingInSmallPiecesGivesTheSameZone) {
    HeatingZone coarse(QuietPlant());
    HeatingZone fine(QuietPlant());
    coarse.advance(300.0);
    for (int i = 0; i < 3000; ++i) {
        fine.advance(0.1);
    }
    EXPECT_NEAR(coarse.temperature(), fine.temperature(), 1e-6);
    EXPECT_EQ(coarse.measured(), fine.measured());
}

} // namespace
} // namespace hz70::sim
