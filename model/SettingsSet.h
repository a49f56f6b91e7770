// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "model/PollingState.h"
#include "model/Slohz70.h"
#include "model/ZoneOperations.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hz70 {

// A settings set: every zone's settings (SP .. TCB; STOP is a command, not a setting) as read from the
// controllers, kept in one text file an operator can read and edit:
//
//     # HZ70wiz settings set
//     time 2026-12-09 20:11:33
//     line COM1, 9600 bit/s, ascii-8n1
//
//     zone 1
//     address 1
//     name Piec 1
//     SP 200 °C
//     ...
//     TCB 0
//
// A zone that did not answer when saved has no setting lines. Units are for the reader; the values are
// the register words.

inline constexpr int kSecurityCodeLine = 9;     // SEC
inline constexpr int kTemperatureUnitLine = 10; // DEG

struct ZoneSettings {
    int zone = 0; // 1-based slot
    int address = 0;
    std::string name;
    std::array<std::optional<std::uint16_t>, kSettingsBlock> values{}; // by settings line
};

struct SettingsSet {
    std::string time;
    std::string line;
    std::vector<ZoneSettings> zones;
};

// Why a line of a file was refused, and which of SetRefusal's data say more.
enum class SetFault {
    kNotUnderstood,     // text: a line before the first zone
    kNotAZone,          // text: the zone given (1..kZoneSlots)
    kZoneGivenTwice,    // number: the zone
    kNotAnAddress,      // text: the address given (1..247)
    kAddressShared,     // number: the address; otherZone: the zone that has it
    kUnknownSetting,    // setting
    kSettingGivenTwice, // setting
    kNotAWholeNumber,   // setting; text: the value given
    kOutOfRange,        // setting; text: the value given; min, max
};

// A refused line; zone 0 for lines outside any zone.
struct SetRefusal {
    int lineNumber = 0;
    int zone = 0;
    SetFault fault = SetFault::kNotUnderstood;
    std::string setting; // the setting's name as the file gives it
    std::string text;    // the text refused
    int number = 0;
    int otherZone = 0;
    int min = 0;
    int max = 0;
};

struct ParsedSettingsSet {
    SettingsSet set;
    std::vector<SetRefusal> refusals;
};

// The settings line of a mnemonic (SP .. TCB), or nothing.
[[nodiscard]] std::optional<int> SettingLine(std::string_view mnemonic);

// The zone's settings as last read; none for those never read (a zone that did not answer).
[[nodiscard]] ZoneSettings ZoneSettingsOf(const TRegulator& record);

// Whether the zone's temperature unit setting (DEG), as last read, is °F.
[[nodiscard]] bool SettingsInFahrenheit(const TRegulator& zone);

// Whether any setting has a value: none for a zone that did not answer when saved.
[[nodiscard]] bool HasValues(const ZoneSettings& zone);

[[nodiscard]] std::string FormatSettingsSet(const SettingsSet& set);

// Parses a file; every value passes the parameters dialog's check. A refused line is left out.
[[nodiscard]] ParsedSettingsSet ParseSettingsSet(std::string_view text);

// The file's entry for a zone: by zone number, refused when its address is not the zone's; or, when
// the operator named the zone by its address, by that address.
enum class PairingFault {
    kNone,
    kNoSuchZone,      // the file has no entry of the zone's number
    kNoZoneAtAddress, // nor of the zone's address
    kOtherAddress,    // the file's entry of the zone's number is at fileAddress
};
struct ZonePairing {
    const ZoneSettings* saved = nullptr; // none unless kNone
    PairingFault fault = PairingFault::kNone;
    int fileAddress = 0;
};
[[nodiscard]] ZonePairing PairZone(const SettingsSet& set, const TRegulator& zone, bool byAddress);

struct SettingDifference {
    int line = 0;
    std::uint16_t wanted = 0;
    std::optional<std::uint16_t> now; // none when the zone has no value
};

// The saved values the zone does not hold now, in settings-line order.
[[nodiscard]] std::vector<SettingDifference> Differences(const ZoneSettings& wanted, const TRegulator& now);

enum class WriteVerdict { kWritten, kRefused, kNoAnswer, kLeftOut };

// Why a setting was not written, and which of SettingWriteResult's data say more.
enum class WriteReason {
    kNone,
    kSecurityCode, // left out: SEC is the parameters dialog's alone
    kOutOfRange,   // refused before the write: min, max
    kException,    // refused by the controller: exception
    kHeldOther,    // read back as held, not the value written
    kNoAnswer,     // the write went unanswered
    kNotReadBack,  // written, but the read-back went unanswered
};

struct SettingWriteResult {
    int line = 0;
    std::uint16_t value = 0;
    WriteVerdict verdict = WriteVerdict::kNoAnswer;
    WriteReason reason = WriteReason::kNone;
    int exception = 0;
    std::uint16_t held = 0;
    int min = 0;
    int max = 0;
    // After no answer: how many more of the zone's differences were not tried.
    int skipped = 0;
};

// How a set reaches a zone's controller: the line itself, or the program's zone operations.
class SettingAccess {
public:
    virtual ~SettingAccess() = default;
    // WriteSetting's result.
    [[nodiscard]] virtual ExchangeResult Write(TRegulator& zone, std::uint16_t reg, std::uint16_t value) = 0;
    // Reads `count` settings from `first` into the zone's rows (more is fine).
    [[nodiscard]] virtual ReadOutcome Read(TRegulator& zone, std::uint16_t first, int count) = 0;
};

// Straight on a link, between no other exchanges (hz70cli).
class LineAccess final : public SettingAccess {
public:
    LineAccess(TTrans& trans, PollingState& polling) : trans_(trans), polling_(polling) {}
    ExchangeResult Write(TRegulator& zone, std::uint16_t reg, std::uint16_t value) override {
        return WriteSetting(zone, trans_, reg, value);
    }
    ReadOutcome Read(TRegulator& zone, std::uint16_t first, int count) override {
        return ReadSettings(zone, trans_, polling_, first, count);
    }

private:
    TTrans& trans_;
    PollingState& polling_;
};

// Through the program's zone operations, between its polls (the windows).
class ZoneOperationsAccess final : public SettingAccess {
public:
    explicit ZoneOperationsAccess(ZoneOperations& zones) : zones_(zones) {}
    ExchangeResult Write(TRegulator& zone, std::uint16_t reg, std::uint16_t value) override {
        return zones_.WriteZoneSetting(zone, reg, value);
    }
    // The zone operations read the whole block, which holds every setting asked for.
    ReadOutcome Read(TRegulator& zone, std::uint16_t /*first*/, int /*count*/) override {
        return zones_.ReadZoneSettings(zone);
    }

private:
    ZoneOperations& zones_;
};

// Writes the differences one setting per call, each checked as the parameters dialog checks it, written
// and read back. DEG goes first and the zone is read again after it, as the controller's temperatures
// mean something else in the other unit. SEC is left out: a code brought from a file or another zone
// would lock the controller's keypad against its own operators without anyone typing it. Once the zone
// gives no answer the rest is not tried: each would only wait out its own reply time-out. The zone,
// access and wanted values must outlive the writer.
class DifferenceWriter {
public:
    DifferenceWriter(TRegulator& zone, SettingAccess& access, const ZoneSettings& wanted)
        : zone_(zone), access_(access), wanted_(wanted) {}

    // The next difference's result, or none when all are done. Blocking: at most two exchanges, and
    // one more after DEG.
    [[nodiscard]] std::optional<SettingWriteResult> Next();

private:
    [[nodiscard]] bool Differs(int line) const;
    [[nodiscard]] int DifferencesFrom(std::size_t position) const;

    TRegulator& zone_;
    SettingAccess& access_;
    const ZoneSettings& wanted_;
    std::size_t position_ = 0; // into the write order
};

// Every result of a DifferenceWriter over the zone.
[[nodiscard]] std::vector<SettingWriteResult> WriteDifferences(TRegulator& zone, SettingAccess& access,
                                                               const ZoneSettings& wanted);

// "SP 200 °C" as the file writes it; the unit as the zone's DEG says.
[[nodiscard]] std::string SettingText(int line, std::uint16_t value, bool fahrenheit);

} // namespace hz70
