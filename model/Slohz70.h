// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "model/PollingState.h"

#include <array>
#include <cstdint>
#include <string>

namespace hz70 {

// --- register map ---

// The no-value mark: single-precision 1e20 as the controller protocol knows it, widened to double.
inline constexpr double kNoValue = static_cast<double>(1e20f);

// True when `value` stands for "no value known" rather than a reading.
[[nodiscard]] constexpr bool IsNoValue(double value) {
    return value >= 1e20 || value <= -1e20;
}

// Kinds of row. Both are one 16-bit register: the controller has no 32-bit values.
inline constexpr std::uint16_t kPlainWord = 2;
inline constexpr std::uint16_t kScaledValue = 4;

// One holding register of the controller: how to name it, scale it and limit it, and (in a record's
// copy) the last word and value read. The texts are UTF-8 constants.
struct TParametr {
    std::uint16_t reg = 0;
    std::uint16_t type = 0;
    std::uint16_t flags = 0; // a settings row of type 2 gets a computed value only while this is 0
    const char* mnemonic = "";
    const char* description = "";
    double scale = 1.0;
    double offset = 0.0;
    double min = 0.0; // lowest value the operator may write
    double max = 0.0; // highest value the operator may write
    const char* unit = "";
    std::int16_t raw = 0;
    double value = 0.0;
};

inline constexpr int kMeasuredRows = 7;
inline constexpr int kSettingsRows = 17;
inline constexpr int kSettingsBlock = 16; // 4000..4015 are read together; 4016 is only written
inline constexpr std::uint16_t kFirstSettingRegister = 4000;
inline constexpr std::uint16_t kStopRegister = 4016;
inline constexpr std::uint16_t kFirstMeasuredRegister = 4018;

// Rows of the measured group.
enum MeasuredRow : int {
    kAlarmWord = 0,
    kStatusWord = 1,
    kMeasuredTemperature = 2,
    kCurrentSetpoint = 3,
    kOutputPower = 4,
    kLoadCurrent = 5,
    kLeakageCurrent = 6,
};

// The controller's registers: the measured group (4018..4024) first, then the settings (4000..4016).
// Rows whose unit is a temperature hold "" here; see SetTemperatureUnit.
inline constexpr std::array<TParametr, kMeasuredRows + kSettingsRows> RegisterMap{{
    {4018, kPlainWord, 0, "StAla", "Status alarmów", 1.0, 0.0, 0, 0, "", 0, 0.0},
    {4019, kPlainWord, 0, "Status", "Słowo statusu", 1.0, 0.0, 0, 0, "", 0, 0.0},
    {4020, kScaledValue, 0, "Trz", "Temp. mierzona ", 0.1, 0.0, 0, 0, "", 0, 0.0},
    {4021, kScaledValue, 0, "SP", "Aktualna wartość zadana", 0.1, 0.0, 0, 0, "", 0, 0.0},
    {4022, kScaledValue, 0, "Moc", "Moc wyjściowa", 0.1, 0.0, 0, 0, "%", 0, 0.0},
    {4023, kScaledValue, 0, "Prad", "Natężenie prądu odbiornika", 0.1, 0.0, 0, 0, "A", 0, 0.0},
    {4024, kScaledValue, 0, "Upływ", "Prąd upływu grzałki", 0.1, 0.0, 0, 0, "mA", 0, 0.0},

    {4000, kPlainWord, 0, "SP", "Wartość zadana", 1.0, 0.0, 0, 537, "", 0, 0.0},
    {4001, kPlainWord, 0, "SPL", "Wart. zadana dla trybu obniżonej temp.", 1.0, 0.0, 37, 149, "", 0, 0.0},
    {4002, kPlainWord, 0, "SPR", "Wartość zadana dla miękkiego startu", 1.0, 0.0, 90, 160, "", 0, 0.0},
    {4003, kPlainWord, 0, "PS", "Maks. moc podczas miękkiego startu", 1.0, 0.0, 5, 100, "%", 0, 0.0},
    {4004, kPlainWord, 0, "ADH", "Alarm względny górny od odchyłki", 1.0, 0.0, 2, 20, "", 0, 0.0},
    {4005, kPlainWord, 0, "ADL", "Alarm względny dolny od odchyłki", 1.0, 0.0, 2, 20, "", 0, 0.0},
    {4006, kPlainWord, 0, "XP", "Zakres proporcjonalności", 1.0, 0.0, 1, 200, "%", 0, 0.0},
    {4007, kPlainWord, 0, "ti", "Stała czasowa całkowania", 1.0, 0.0, 0, 999, "s", 0, 0.0},
    {4008, kPlainWord, 0, "td", "Stała czasowa różniczkowania", 1.0, 0.0, 0, 999, "s", 0, 0.0},
    {4009, kPlainWord, 0, "SEC", "Kod bezpieczeństwa", 1.0, 0.0, 0, 999, "", 0, 0.0},
    {4010, kPlainWord, 0, "DEG", "Jednostki temperatury (0-°C, 1-°F)", 1.0, 0.0, 0, 1, "", 0, 0.0},
    {4011, kPlainWord, 0, "AUA", "Strojenie algorytmu PID (0-wył, 1-zał)", 1.0, 0.0, 0, 1, "", 0, 0.0},
    {4012, kPlainWord, 0, "FL", "Algorytm Fuzzy Logic (0-wył, 1-zał)", 1.0, 0.0, 0, 1, "", 0, 0.0},
    {4013, kPlainWord, 0, "AUD", "Wyjście alarmowe (0-wył, 1-zał)", 1.0, 0.0, 0, 1, "", 0, 0.0},
    {4014, kPlainWord, 0, "RLN", "Wejścia binarne (0-wył,1-zał)", 1.0, 0.0, 0, 1, "", 0, 0.0},
    {4015, kPlainWord, 0, "TCB", "Sposób awaryjnego sterowania (0-wył, 1-śr.moc)", 1.0, 0.0, 0, 1, "", 0,
     0.0},
    {4016, kPlainWord, 0, "STOP", "Przełączanie trybów stop/auto", 1.0, 0.0, 0, 1, "", 0, 0.0},
}};

// --- controller record ---

// One HZ70 controller, that is one heating zone, with its own copy of the register map.
struct TRegulator {
    std::int16_t address = 0;
    std::int16_t measuredCount = 0;
    std::int16_t failCount = 0; // consecutive failed poll attempts, 0..3
    std::int16_t settingsCount = 0;
    std::uint16_t deviceId = 0;  // slave id of the last Report Slave ID reply
    std::int16_t identified = 0; // 1 = the controller was recognised
    std::int16_t commError = 0;  // 1 = the last exchange failed; values are not current
    std::uint16_t writeException = 0;
    std::int16_t monitoring = 0; // 1 = the poll timer polls this zone
    std::int16_t zoneNumber = 0; // 1-based slot of the zone
    std::int16_t lastResult = 0; // result code of the last exchange
    std::int16_t fahrenheit = 0; // set from the status word at every poll tick of the zone
    std::string name;            // UTF-8
    std::array<TParametr, kMeasuredRows> measured{};
    std::array<TParametr, kSettingsRows> settings{}; // index = register - 4000
};

// Consecutive failed poll attempts after which a zone counts as silent (its values cleared).
inline constexpr int kFailuresBeforeGivingUp = 3;

// The poll cycle found the zone silent: a blocking exchange with it would only wait out its time-out.
[[nodiscard]] inline bool IsSilent(const TRegulator& record) {
    return record.failCount >= kFailuresBeforeGivingUp;
}

// What a poll step did, by the numbers the poll step is known by.
enum class PollOutcome : int {
    kNotPolled = -1, // a tick that ran no poll step: the zone is not monitored, or there is none
    kFailed = 0,     // third or later consecutive failure; values cleared
    kUpdated = 3,    // measured values updated
    kPending = 25,   // stay on this zone
};

enum class AttachOutcome : int {
    kDone = 0,  // whatever the controller answered; the zone is monitored
    kBusy = 25, // the slave-id exchange was busy; the zone is not monitored
};

enum class ReadOutcome : int {
    kRead = 0,
    kFailed = 1, // no valid reply, or a range outside the settings rows; the rows are kept
};

// Resets every field and gives the record fresh rows, each without a value.
TRegulator& InitRegulator(TRegulator& record);

// Points the units of the temperature rows at `unit` (the constant map leaves them empty).
void SetTemperatureUnit(TRegulator& record, const char* unit);

// One non-blocking step of reading the measured values: kPending, kUpdated or kFailed.
// Leaves commError set after a failure; clearing it after a success is the caller's business.
[[nodiscard]] PollOutcome PollStep(TRegulator& record, TTrans& trans);

// Recognises the controller and, when it is an HZ70, reads its settings block. Blocking.
[[nodiscard]] AttachOutcome Attach(TRegulator& record, TTrans& trans, PollingState& polling);

// Recognises the controller only: kSlaveIdOk when a Report Slave ID reply arrived (the caller checks
// deviceId), otherwise the exchange's result. Blocking.
[[nodiscard]] ExchangeResult Identify(TRegulator& record, TTrans& trans);

// Reads `count` settings from register `first` into the settings rows. Blocking. A range outside the
// settings rows fails before anything is sent.
[[nodiscard]] ReadOutcome ReadSettings(TRegulator& record, TTrans& trans, PollingState& polling,
                                       std::uint16_t first, int count);

// Writes one setting, sending it a second time if the first attempt fails. Returns the exchange's
// result: kWriteOk, 0x80 + 6 with the exception code in writeException, or another failure code.
// Blocking. The row is left as it was.
[[nodiscard]] ExchangeResult WriteSetting(TRegulator& record, TTrans& trans, std::uint16_t reg,
                                          std::uint16_t value);

} // namespace hz70
