// SPDX-License-Identifier: GPL-3.0-or-later
#include "views/core/TableTexts.h"

#include "model/FixedText.h"

namespace hz70 {
namespace {

constexpr int kAlarmWordRow = 6;
constexpr int kAlarmBits = 10;
constexpr int kStatusWordRow = 17;
constexpr int kStatusBits = 8;

// Settings shown as words rather than numbers, from DEG on.
constexpr int kFirstSwitchSetting = 10;

struct SwitchTexts {
    const char* off;
    const char* on;
};

// DEG, AUA, FL, AUD, RLN, TCB. FL takes the masculine form ("algorytm"), unlike its neighbours.
constexpr std::array<SwitchTexts, kSettingsBlock - kFirstSwitchSetting> kSwitchTexts{{
    {"°C", "°F"},
    {"wyłączone", "załączone"},
    {"wyłączony", "załączony"},
    {"wyłączone", "załączone"},
    {"wyłączone", "załączone"},
    {"wyłączyć wyjścia", "ustawić średnią moc"},
}};

void PutBits(MeasuredCells& cells, int wordRow, std::int16_t word, int bits) {
    cells[static_cast<std::size_t>(wordRow - 1)] = SignedWordText(word);
    for (int bit = 0; bit < bits; ++bit) {
        cells[static_cast<std::size_t>(wordRow + bit)] = BitText(word, bit);
    }
}

} // namespace

const std::array<const char*, kMeasuredGridRows>& MeasuredRowNames() {
    static constexpr std::array<const char*, kMeasuredGridRows> names{
        kParameterNameHeading,
        "Temperatura mierzona",
        "Wartość zadana",
        "Moc wyjściowa",
        "Natężenie prądu odbiornika",
        "Prąd upływu grzałki",
        "Stan alarmów",
        "   - zwarcie czujnika",
        "   - rozwarcie czujnika",
        "   - odwrotna polaryzacja czujnika",
        "   - alarm za wysokiej temperatury",
        "   - alarm za niskiej temperatury",
        "   - zwarcie odbiornika",
        "   - rozwarcie odbiornika",
        "   - przekrocz. prądu upływu grzałki",
        "   - przepalony bezpiecznik",
        "   - zwarty SSR",
        "Status",
        "   - 0-tryb obniżonej temp, 1-tryb reg.auto",
        "   - 0-reg. automatyczna, 1-ręczna",
        "   - aktywna funkcja autoadaptacji",
        "   - aktywna funkcja Fuzzy Logic",
        "   - aktywny miękki start",
        "   - sterowanie fazowe",
        "   - wejście binarne zwarte",
        "   - wyjście przekaźnikowe zwarte",
    };
    return names;
}

std::array<std::string, kSettingsGridRows> SettingsRowNames() {
    std::array<std::string, kSettingsGridRows> names;
    names[0] = kParameterNameHeading;
    for (int setting = 0; setting < kSettingsBlock; ++setting) {
        names[static_cast<std::size_t>(setting + 1)] =
            RegisterMap[static_cast<std::size_t>(kMeasuredRows + setting)].description;
    }
    return names;
}

std::string MeasuredValueText(const TParametr& row) {
    if (IsNoValue(row.value)) {
        return kNoValueText;
    }
    return FixedText(row.value, 5, 1) + " " + row.unit;
}

std::string SignedWordText(std::int16_t word) {
    return FixedText(word, 4, 0);
}

std::string BitText(std::int16_t word, int bit) {
    const unsigned bits = static_cast<std::uint16_t>(word);
    return ((bits >> bit) & 1U) != 0 ? "  1" : "  0";
}

std::string SettingText(const TParametr& row, int setting) {
    if (setting < kFirstSwitchSetting) {
        return FixedText(static_cast<std::uint16_t>(row.raw), 4, 0) + " " + row.unit;
    }
    const SwitchTexts& texts = kSwitchTexts.at(static_cast<std::size_t>(setting - kFirstSwitchSetting));
    return row.raw == 0 ? texts.off : texts.on;
}

MeasuredCells MeasuredColumn(const TRegulator& record) {
    MeasuredCells cells;
    for (int row = kMeasuredTemperature; row <= kLeakageCurrent; ++row) {
        cells[static_cast<std::size_t>(row - kMeasuredTemperature)] =
            MeasuredValueText(record.measured[static_cast<std::size_t>(row)]);
    }
    if (record.commError != 0) {
        for (std::size_t i = kAlarmWordRow - 1; i < cells.size(); ++i) {
            cells[i] = kNoValueText;
        }
        return cells;
    }
    PutBits(cells, kAlarmWordRow, record.measured[kAlarmWord].raw, kAlarmBits);
    PutBits(cells, kStatusWordRow, record.measured[kStatusWord].raw, kStatusBits);
    return cells;
}

SettingsCells SettingsColumn(const TRegulator& record) {
    SettingsCells cells;
    for (int setting = 0; setting < kSettingsBlock; ++setting) {
        cells[static_cast<std::size_t>(setting)] =
            SettingText(record.settings[static_cast<std::size_t>(setting)], setting);
    }
    return cells;
}

std::string SettingsReadFailedText(int zoneNumber) {
    return "Błąd dczytu nastaw regulatora w strefie nr " + std::to_string(static_cast<unsigned>(zoneNumber));
}

std::string ZoneTitleText(const TRegulator& zone) {
    return "Strefa " + std::to_string(zone.zoneNumber) + " (adres " + std::to_string(zone.address) + ", " +
           zone.name + ")";
}

std::string DifferenceText(const TRegulator& zone, const SettingDifference& difference) {
    const bool fahrenheit = SettingsInFahrenheit(zone);
    const std::string now =
        difference.now
            ? hz70::SettingText(difference.line, *difference.now, fahrenheit)
            : std::string(RegisterMap[kMeasuredRows + difference.line].mnemonic) + " " + kNoValueText;
    return now + ", ma być " + std::to_string(difference.wanted);
}

namespace {

// The phrases the commands from the broker use for the same faults, so that one fault reads alike.
std::string RangeText(int min, int max) {
    return "poza zakresem " + std::to_string(min) + ".." + std::to_string(max);
}

std::string Quoted(const std::string& text) {
    return "„" + text + "”";
}

std::string ReasonText(const SettingWriteResult& result) {
    switch (result.reason) {
    case WriteReason::kNone:
    case WriteReason::kNoAnswer:
        return "";
    case WriteReason::kSecurityCode:
        return "kod zabezpieczenia zmienia się tylko w oknie parametrów";
    case WriteReason::kOutOfRange:
        return RangeText(result.min, result.max);
    case WriteReason::kException:
        return "wyjątek Modbus " + ModbusExceptionText(result.exception);
    case WriteReason::kHeldOther:
        return "regulator ma inną wartość: " + std::to_string(result.held);
    case WriteReason::kNotReadBack:
        return "zapisano, lecz odczyt nie powiódł się";
    }
    return "";
}

std::string FaultText(const SetRefusal& refusal) {
    switch (refusal.fault) {
    case SetFault::kNotUnderstood:
        return "niezrozumiały wiersz przed pierwszą strefą: " + refusal.text;
    case SetFault::kNotAZone:
        return "brak strefy " + Quoted(refusal.text) + " (są 1.." + std::to_string(kZoneSlots) + ")";
    case SetFault::kZoneGivenTwice:
        return "strefa " + std::to_string(refusal.number) + " podana dwa razy";
    case SetFault::kNotAnAddress:
        return "nieprawidłowy adres " + Quoted(refusal.text) + " (1..247)";
    case SetFault::kAddressShared:
        return "adres " + std::to_string(refusal.number) + " ma już strefa " +
               std::to_string(refusal.otherZone);
    case SetFault::kUnknownSetting:
        return "nieznane ustawienie " + Quoted(refusal.setting);
    case SetFault::kSettingGivenTwice:
        return refusal.setting + " podane dwa razy";
    case SetFault::kNotAWholeNumber:
        return refusal.setting + ": " + refusal.text + " nie jest liczbą całkowitą";
    case SetFault::kOutOfRange:
        return refusal.setting + ": " + refusal.text + " " + RangeText(refusal.min, refusal.max);
    }
    return "";
}

const char* VerdictText(WriteVerdict verdict) {
    switch (verdict) {
    case WriteVerdict::kWritten:
        return "zapisano";
    case WriteVerdict::kRefused:
        return "odmowa";
    case WriteVerdict::kNoAnswer:
        return "brak odpowiedzi";
    case WriteVerdict::kLeftOut:
        return "pominięto";
    }
    return "";
}

} // namespace

std::string WriteResultText(const TRegulator& zone, const SettingWriteResult& result) {
    const std::string reason = ReasonText(result);
    return ZoneTitleText(zone) + ": " + RegisterMap[kMeasuredRows + result.line].mnemonic + " " +
           std::to_string(result.value) + ": " + VerdictText(result.verdict) +
           (reason.empty() ? "" : " (" + reason + ")") +
           (result.skipped == 0 ? "" : " — pozostałe nastawy strefy pominięte");
}

std::string RefusalText(const SetRefusal& refusal) {
    return "Wiersz " + std::to_string(refusal.lineNumber) + ": " + FaultText(refusal);
}

std::string PairingRefusalText(const TRegulator& zone, const ZonePairing& pairing) {
    switch (pairing.fault) {
    case PairingFault::kNone:
        return "";
    case PairingFault::kNoSuchZone:
        return "w pliku brak strefy " + std::to_string(zone.zoneNumber);
    case PairingFault::kNoZoneAtAddress:
        return "w pliku brak strefy o adresie " + std::to_string(zone.address);
    case PairingFault::kOtherAddress:
        return "w pliku strefa " + std::to_string(zone.zoneNumber) + " ma adres " +
               std::to_string(pairing.fileAddress);
    }
    return "";
}

std::string PairedByAddressText(const ZoneSettings& saved) {
    return "porównano ze strefą " + std::to_string(saved.zone) + " z pliku, o tym samym adresie";
}

} // namespace hz70
