// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/SettingsSet.h"

#include "comm/LinkOutcomes.h"
#include "comm/ModbusFraming.h"
#include "model/SettingInput.h"
#include "model/StatusWord.h"
#include "model/ZoneList.h"

#include <algorithm>
#include <sstream>

namespace hz70 {
namespace {

const TParametr& MapRow(int line) {
    return RegisterMap[static_cast<std::size_t>(kMeasuredRows + line)];
}

std::string_view Trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// The first word of a line and the rest.
std::pair<std::string_view, std::string_view> KeyAndRest(std::string_view line) {
    const auto blank = line.find_first_of(" \t");
    if (blank == std::string_view::npos) {
        return {line, {}};
    }
    return {line.substr(0, blank), Trimmed(line.substr(blank))};
}

std::optional<int> WholeNumber(std::string_view text, int minimum, int maximum) {
    int value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9' || value > maximum) {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return !text.empty() && value >= minimum && value <= maximum ? std::optional<int>(value) : std::nullopt;
}

// Reads a file line by line into a set, noting every refusal.
class SetParser {
public:
    ParsedSettingsSet Parse(std::string_view text) {
        std::size_t start = 0;
        while (start <= text.size()) {
            const auto end = std::min(text.find('\n', start), text.size());
            ++lineNumber_;
            Take(Trimmed(text.substr(start, end - start)));
            start = end + 1;
        }
        return std::move(parsed_);
    }

private:
    SetRefusal& Refuse(SetFault fault, std::string_view text = {}) {
        SetRefusal refusal{lineNumber_, zone_ ? zone_->zone : 0, fault, {}, std::string(text)};
        return parsed_.refusals.emplace_back(std::move(refusal));
    }

    void RefuseSetting(SetFault fault, std::string_view mnemonic, std::string_view text = {}) {
        Refuse(fault, text).setting = std::string(mnemonic);
    }

    void Take(std::string_view line) {
        if (line.empty() || line.front() == '#') {
            return;
        }
        const auto [key, rest] = KeyAndRest(line);
        if (key == "zone") {
            StartZone(rest);
        } else if (!zone_ && (key == "time" || key == "line")) {
            (key == "time" ? parsed_.set.time : parsed_.set.line) = std::string(rest);
        } else if (!zone_) {
            Refuse(SetFault::kNotUnderstood, line);
        } else if (key == "address") {
            TakeAddress(rest);
        } else if (key == "name") {
            zone_->name = std::string(rest);
        } else {
            TakeSetting(key, rest);
        }
    }

    // Two zones at one address would leave it to chance which of them a named address gets.
    void TakeAddress(std::string_view text) {
        const auto address = WholeNumber(text, 1, 247);
        if (!address) {
            Refuse(SetFault::kNotAnAddress, text);
            return;
        }
        for (const ZoneSettings& other : parsed_.set.zones) {
            if (other.address == *address && &other != zone_) {
                SetRefusal& refusal = Refuse(SetFault::kAddressShared);
                refusal.number = *address;
                refusal.otherZone = other.zone;
                return;
            }
        }
        zone_->address = *address;
    }

    void StartZone(std::string_view number) {
        const auto zone = WholeNumber(number, 1, kZoneSlots);
        zone_ = nullptr;
        if (!zone) {
            Refuse(SetFault::kNotAZone, number);
            return;
        }
        const auto& zones = parsed_.set.zones;
        if (std::any_of(zones.begin(), zones.end(), [&](const ZoneSettings& z) { return z.zone == *zone; })) {
            Refuse(SetFault::kZoneGivenTwice).number = *zone;
            return;
        }
        parsed_.set.zones.push_back({*zone, 0, {}, {}});
        zone_ = &parsed_.set.zones.back();
    }

    void TakeSetting(std::string_view mnemonic, std::string_view rest) {
        const auto line = SettingLine(mnemonic);
        if (!line) {
            RefuseSetting(SetFault::kUnknownSetting, mnemonic);
            return;
        }
        auto& value = zone_->values[static_cast<std::size_t>(*line)];
        if (value) {
            RefuseSetting(SetFault::kSettingGivenTwice, mnemonic);
            return;
        }
        const std::string_view number = KeyAndRest(rest).first; // a unit may follow
        const CheckedInput checked = CheckSettingInput(number, *line, MapRow(*line));
        if (checked.verdict == InputVerdict::kAccepted) {
            value = checked.word;
        } else if (checked.verdict == InputVerdict::kNotANumber) {
            RefuseSetting(SetFault::kNotAWholeNumber, mnemonic, number);
        } else {
            RefuseSetting(SetFault::kOutOfRange, mnemonic, number);
            const TParametr& row = MapRow(*line);
            parsed_.refusals.back().min = static_cast<int>(row.min);
            parsed_.refusals.back().max = static_cast<int>(row.max);
        }
    }

    ParsedSettingsSet parsed_;
    ZoneSettings* zone_ = nullptr; // the zone being read; none after a refused zone line
    int lineNumber_ = 0;
};

// Settings lines in the order they are written: DEG first, then the rest; SEC last, to be left out.
constexpr std::array<int, kSettingsBlock> kWriteOrder{
    kTemperatureUnitLine, 0, 1, 2, 3, 4, 5, 6, 7, 8, 11, 12, 13, 14, 15, kSecurityCodeLine};

std::optional<std::uint16_t> Held(const TRegulator& zone, int line) {
    const TParametr& row = zone.settings[static_cast<std::size_t>(line)];
    if (IsNoValue(row.value)) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(row.raw);
}

SettingWriteResult WriteOne(TRegulator& zone, SettingAccess& access, int line, std::uint16_t value) {
    SettingWriteResult result{line, value, WriteVerdict::kRefused};
    const auto reg = static_cast<std::uint16_t>(kFirstSettingRegister + line);
    const ExchangeResult written = access.Write(zone, reg, value);
    if (written == ExceptionReplyTo(kWriteSingleRegister)) {
        result.reason = WriteReason::kException;
        result.exception = zone.writeException;
        return result;
    }
    if (written != ExchangeResult::kWriteOk) {
        result.verdict = WriteVerdict::kNoAnswer;
        result.reason = WriteReason::kNoAnswer;
        return result;
    }
    if (access.Read(zone, reg, 1) != ReadOutcome::kRead) {
        result.verdict = WriteVerdict::kNoAnswer;
        result.reason = WriteReason::kNotReadBack;
        return result;
    }
    const auto held = Held(zone, line);
    if (held != value) {
        result.reason = WriteReason::kHeldOther;
        result.held = held.value_or(0);
        return result;
    }
    result.verdict = WriteVerdict::kWritten;
    return result;
}

// A value the parameters dialog would not write; none for one it would.
std::optional<SettingWriteResult> RefusedBeforeWriting(int line, std::uint16_t value) {
    if (line == kSecurityCodeLine) {
        return SettingWriteResult{line, value, WriteVerdict::kLeftOut, WriteReason::kSecurityCode};
    }
    const TParametr& row = MapRow(line);
    if (CheckSettingInput(std::to_string(value), line, row).verdict == InputVerdict::kAccepted) {
        return std::nullopt;
    }
    SettingWriteResult result{line, value, WriteVerdict::kRefused, WriteReason::kOutOfRange};
    result.min = static_cast<int>(row.min);
    result.max = static_cast<int>(row.max);
    return result;
}

} // namespace

std::optional<int> SettingLine(std::string_view mnemonic) {
    for (int line = 0; line < kSettingsBlock; ++line) {
        if (mnemonic == MapRow(line).mnemonic) {
            return line;
        }
    }
    return std::nullopt;
}

ZoneSettings ZoneSettingsOf(const TRegulator& record) {
    ZoneSettings zone{record.zoneNumber, record.address, record.name, {}};
    for (int line = 0; line < kSettingsBlock; ++line) {
        zone.values[static_cast<std::size_t>(line)] = Held(record, line);
    }
    return zone;
}

std::string SettingText(int line, std::uint16_t value, bool fahrenheit) {
    TRegulator units;
    InitRegulator(units);
    SetTemperatureUnit(units, fahrenheit ? kFahrenheitUnit : kCelsiusUnit);
    const char* unit = units.settings[static_cast<std::size_t>(line)].unit;
    return std::string(MapRow(line).mnemonic) + " " + std::to_string(value) + (*unit ? " " : "") + unit;
}

bool SettingsInFahrenheit(const TRegulator& zone) {
    return Held(zone, kTemperatureUnitLine) == 1;
}

bool HasValues(const ZoneSettings& zone) {
    return std::any_of(zone.values.begin(), zone.values.end(),
                       [](const auto& value) { return value.has_value(); });
}

std::string FormatSettingsSet(const SettingsSet& set) {
    std::ostringstream out;
    out << "# HZ70wiz settings set\ntime " << set.time << "\nline " << set.line << "\n";
    for (const ZoneSettings& zone : set.zones) {
        out << "\nzone " << zone.zone << "\naddress " << zone.address << "\nname " << zone.name << "\n";
        const bool fahrenheit = zone.values[kTemperatureUnitLine] == 1;
        for (int line = 0; line < kSettingsBlock; ++line) {
            if (const auto value = zone.values[static_cast<std::size_t>(line)]) {
                out << SettingText(line, *value, fahrenheit) << "\n";
            }
        }
        if (!HasValues(zone)) {
            out << "# no answer when saved\n";
        }
    }
    return out.str();
}

ParsedSettingsSet ParseSettingsSet(std::string_view text) {
    return SetParser().Parse(text);
}

ZonePairing PairZone(const SettingsSet& set, const TRegulator& zone, bool byAddress) {
    const auto found = std::find_if(set.zones.begin(), set.zones.end(), [&](const ZoneSettings& saved) {
        return byAddress ? saved.address == zone.address : saved.zone == zone.zoneNumber;
    });
    if (found == set.zones.end()) {
        return {nullptr, byAddress ? PairingFault::kNoZoneAtAddress : PairingFault::kNoSuchZone};
    }
    if (found->address != zone.address) {
        return {nullptr, PairingFault::kOtherAddress, found->address};
    }
    return {&*found};
}

std::vector<SettingDifference> Differences(const ZoneSettings& wanted, const TRegulator& now) {
    std::vector<SettingDifference> differences;
    for (int line = 0; line < kSettingsBlock; ++line) {
        const auto value = wanted.values[static_cast<std::size_t>(line)];
        const auto held = Held(now, line);
        if (value && held != value) {
            differences.push_back({line, *value, held});
        }
    }
    return differences;
}

bool DifferenceWriter::Differs(int line) const {
    const auto value = wanted_.values[static_cast<std::size_t>(line)];
    return value && Held(zone_, line) != value;
}

int DifferenceWriter::DifferencesFrom(std::size_t position) const {
    return static_cast<int>(std::count_if(kWriteOrder.begin() + static_cast<std::ptrdiff_t>(position),
                                          kWriteOrder.end(), [this](int line) { return Differs(line); }));
}

std::optional<SettingWriteResult> DifferenceWriter::Next() {
    while (position_ < kWriteOrder.size() && !Differs(kWriteOrder[position_])) {
        ++position_;
    }
    if (position_ == kWriteOrder.size()) {
        return std::nullopt;
    }
    const int line = kWriteOrder[position_++];
    const std::uint16_t value = *wanted_.values[static_cast<std::size_t>(line)];
    if (auto refused = RefusedBeforeWriting(line, value)) {
        return refused;
    }
    SettingWriteResult result = WriteOne(zone_, access_, line, value);
    if (result.verdict == WriteVerdict::kNoAnswer) {
        result.skipped = DifferencesFrom(position_);
        position_ = kWriteOrder.size();
    } else if (line == kTemperatureUnitLine && result.verdict == WriteVerdict::kWritten) {
        // The controller may have converted its temperatures: compare with what it holds now.
        (void)access_.Read(zone_, kFirstSettingRegister, kSettingsBlock);
    }
    return result;
}

std::vector<SettingWriteResult> WriteDifferences(TRegulator& zone, SettingAccess& access,
                                                 const ZoneSettings& wanted) {
    std::vector<SettingWriteResult> results;
    DifferenceWriter writer(zone, access, wanted);
    while (auto result = writer.Next()) {
        results.push_back(*result);
    }
    return results;
}

} // namespace hz70
