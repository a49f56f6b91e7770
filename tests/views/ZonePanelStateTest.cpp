// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/ZonePanelState.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace hz70 {
namespace {

TRegulator Zone(std::uint16_t alarms, std::uint16_t status, int commError = 0) {
    TRegulator record;
    InitRegulator(record);
    record.measured[kAlarmWord].raw = static_cast<std::int16_t>(alarms);
    record.measured[kStatusWord].raw = static_cast<std::int16_t>(status);
    record.commError = static_cast<std::int16_t>(commError);
    return record;
}

std::vector<Lamp> LitLamps(const ZonePanelState& state) {
    std::vector<Lamp> lit;
    for (int i = 0; i < kLampCount; ++i) {
        if (state.lamps[static_cast<std::size_t>(i)] == LampState::kLit) {
            lit.push_back(static_cast<Lamp>(i));
        }
    }
    return lit;
}

std::vector<Lamp> LitAlarmLamps(std::uint16_t alarms) {
    std::vector<Lamp> lit;
    for (const Lamp lamp : LitLamps(DecodeZonePanel(Zone(alarms, 0x0100)))) {
        if (lamp != Lamp::kFahrenheit && lamp != Lamp::kStop) {
            lit.push_back(lamp);
        }
    }
    return lit;
}

TEST(ZonePanelState, EachAlarmBitGroupLightsItsOwnLampOnly) {
    EXPECT_EQ(LitAlarmLamps(0x0008), std::vector<Lamp>{Lamp::kSensorFault});
    EXPECT_EQ(LitAlarmLamps(0x0040), std::vector<Lamp>{Lamp::kLoadFault});
    EXPECT_EQ(LitAlarmLamps(0x0080), std::vector<Lamp>{Lamp::kLoadFault});
    EXPECT_EQ(LitAlarmLamps(0x0100), std::vector<Lamp>{Lamp::kLeakage});
    EXPECT_EQ(LitAlarmLamps(0x0010), std::vector<Lamp>{Lamp::kTemperatureAlarm});
    EXPECT_EQ(LitAlarmLamps(0x0020), std::vector<Lamp>{Lamp::kTemperatureAlarm});
    EXPECT_EQ(LitAlarmLamps(0x0001), std::vector<Lamp>{Lamp::kSensorFault});
    EXPECT_TRUE(LitAlarmLamps(0x0200).empty()); // a bit the panel has no lamp for
    EXPECT_EQ(LitAlarmLamps(0xFFFF).size(), 4u);
}

TEST(ZonePanelState, StatusWordDecidesStopAutomaticLampsAndButton) {
    struct Case {
        std::uint16_t status;
        LampState stop;
        LampState automatic;
        std::string caption;
        std::uint16_t toggleWrites;
    };
    const LampState lit = LampState::kLit;
    const LampState dark = LampState::kDark;
    for (const Case& c : {
             Case{0x0001, dark, lit, "S", 0},     // automatic
             Case{0x0000, lit, dark, "AUTO", 1},  // stop
             Case{0x0002, dark, dark, "AUTO", 1}, // manual
             Case{0x0012, dark, dark, "S", 1},    // manual during soft start
             Case{0x0010, dark, dark, "S", 1},    // soft start
             Case{0x0003, dark, dark, "S", 0},    // manual, automatic afterwards
         }) {
        const TRegulator zone = Zone(0, c.status);
        const ZonePanelState state = DecodeZonePanel(zone);
        EXPECT_EQ(state.lamp(Lamp::kStop), c.stop) << c.status;
        EXPECT_EQ(state.lamp(Lamp::kAutomatic), c.automatic) << c.status;
        EXPECT_EQ(state.modeCaption, c.caption) << c.status;
        EXPECT_EQ(ModeToggleValue(zone), c.toggleWrites) << c.status;
    }
}

TEST(ZonePanelState, CommunicationErrorDarkensModeAndCelsiusButNotFahrenheit) {
    const ZonePanelState celsius = DecodeZonePanel(Zone(0, 0x0001, 1));
    EXPECT_TRUE(celsius.noTransmission);
    EXPECT_TRUE(LitLamps(celsius).empty());
    EXPECT_STREQ(celsius.modeCaption, "AUTO");

    const ZonePanelState fahrenheit = DecodeZonePanel(Zone(0, 0x0100, 1));
    EXPECT_EQ(LitLamps(fahrenheit), std::vector<Lamp>{Lamp::kFahrenheit});

    const ZonePanelState answering = DecodeZonePanel(Zone(0, 0x0000));
    EXPECT_FALSE(answering.noTransmission);
    EXPECT_EQ(answering.lamp(Lamp::kCelsius), LampState::kLit);
    EXPECT_EQ(answering.lamp(Lamp::kFahrenheit), LampState::kDark);
}

TEST(ZonePanelState, FunctionLampsFollowTheirStatusBits) {
    const ZonePanelState state = DecodeZonePanel(Zone(0, 0x00FE));
    for (const Lamp lamp :
         {Lamp::kPidTuning, Lamp::kFuzzyLogic, Lamp::kPhaseControl, Lamp::kBinaryInputClosed,
          Lamp::kRelayOutputClosed, Lamp::kSoftStart, Lamp::kManual}) {
        EXPECT_EQ(state.lamp(lamp), LampState::kLit) << static_cast<int>(lamp);
    }
    EXPECT_EQ(state.lamp(Lamp::kPowerUnit), LampState::kGrey);
    EXPECT_EQ(state.lamp(Lamp::kCurrentUnit), LampState::kGrey);
    EXPECT_EQ(LitLamps(DecodeZonePanel(Zone(0, 0x0004))),
              (std::vector<Lamp>{Lamp::kCelsius, Lamp::kStop, Lamp::kPidTuning}));
}

TEST(ZonePanelState, ValueFieldsPrintFiveWideWithOneDecimalOrDashesForNoValue) {
    EXPECT_EQ(ValueFieldText(23.4), " 23.4");
    EXPECT_EQ(ValueFieldText(-5), " -5.0");
    EXPECT_EQ(ValueFieldText(1234.5), "1234.5");
    EXPECT_EQ(ValueFieldText(0.0), "  0.0");
    EXPECT_EQ(ValueFieldText(-1.5), " -1.5");
    EXPECT_EQ(ValueFieldText(kNoValue), "----");
    EXPECT_EQ(ValueFieldText(1e20), "----");
    EXPECT_EQ(ValueFieldText(-1e20), "----");
    EXPECT_EQ(ValueFieldText(9.99e19), "99900000000000000000.0");

    TRegulator zone = Zone(0, 0);
    zone.measured[kMeasuredTemperature].value = 234.5;
    zone.measured[kOutputPower].value = 100.0;
    const ZonePanelState state = DecodeZonePanel(zone);
    EXPECT_EQ(state.field(ValueField::kMeasuredTemperature), "234.5");
    EXPECT_EQ(state.field(ValueField::kCurrentSetpoint), "----"); // a fresh record has no values
    EXPECT_EQ(state.field(ValueField::kOutputPower), "100.0");
}

TEST(ZonePanelState, LampColoursAndTheDesignState) {
    EXPECT_EQ(LampColour(Lamp::kSensorFault, LampState::kLit), (Rgb{255, 0, 0}));
    EXPECT_EQ(LampColour(Lamp::kLoadFault, LampState::kDark), (Rgb{128, 0, 0}));
    EXPECT_EQ(LampColour(Lamp::kCelsius, LampState::kLit), (Rgb{0, 255, 0}));
    EXPECT_EQ(LampColour(Lamp::kRelayOutputClosed, LampState::kDark), (Rgb{0, 128, 0}));
    EXPECT_EQ(LampColour(Lamp::kPowerUnit, LampState::kGrey), (Rgb{128, 128, 128}));
    EXPECT_EQ(DesignLampState(Lamp::kCurrentUnit), LampState::kGrey);
    EXPECT_EQ(DesignLampState(Lamp::kTemperatureAlarm), LampState::kDark);
    EXPECT_EQ(DesignLampState(Lamp::kAutomatic), LampState::kDark);
}

TEST(ZonePanelState, TitleKeepsTheFirstSeventeenCharactersNotBytes) {
    EXPECT_EQ(PanelTitle("STREFA  1"), "STREFA  1");
    EXPECT_EQ(PanelTitle("Wytłaczarka główna strefa 12"), "Wytłaczarka główn");
    EXPECT_EQ(PanelTitle("ąęśćżźółńĄĘŚĆŻŹÓŁŃ"), "ąęśćżźółńĄĘŚĆŻŹÓŁ");
    EXPECT_EQ(PanelTitle("12345678901234567"), "12345678901234567");
    EXPECT_EQ(PanelTitle(""), "");
}

} // namespace
} // namespace hz70
