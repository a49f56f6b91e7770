// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/ZoneListEditor.h"

#include "app/core/Cp1250.h"

#include <algorithm>
#include <cstdio>

namespace hz70 {
namespace {

bool IsControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte < 0x20 || byte == 0x7F;
}

bool IsContinuationByte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// The first `count` characters of UTF-8 text, never splitting one.
std::string_view FirstCharacters(std::string_view text, std::size_t count) {
    std::size_t characters = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (!IsContinuationByte(text[at]) && characters++ == count) {
            return text.substr(0, at);
        }
    }
    return text;
}

} // namespace

std::string ListFullText() {
    char text[64];
    std::snprintf(text, sizeof text, "Może być maksymalnie %2d stref", kZoneSlots);
    return text;
}

std::string ZoneLine(int address, std::string_view name) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "% -3d \t", address);
    return std::string(prefix).append(name);
}

std::optional<int> ParseDecimalField(std::string_view field) {
    // Leading blanks pass, as in the toolkit's conversion and the settings file's integers.
    field.remove_prefix(std::min(field.find_first_not_of(' '), field.size()));
    const bool negative = field.starts_with('-');
    if (negative || field.starts_with('+')) {
        field.remove_prefix(1);
    }
    if (field.empty()) {
        return std::nullopt;
    }
    constexpr long long kLimit = 1LL << 31;
    long long magnitude = 0;
    for (const char c : field) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        magnitude = std::min(magnitude * 10 + (c - '0'), kLimit + 1); // past either bound, never overflowing
    }
    if (magnitude > (negative ? kLimit : kLimit - 1)) {
        return std::nullopt;
    }
    return static_cast<int>(negative ? -magnitude : magnitude);
}

std::optional<int> ParseZoneAddress(std::string_view field) {
    const auto value = ParseDecimalField(field);
    if (!value || *value < kFirstSlaveAddress || *value > kLastSlaveAddress) {
        return std::nullopt;
    }
    return value;
}

std::string ZoneNameCharacters(std::string_view field) {
    std::string name = KeepCp1250Characters(field);
    // Both are ASCII, and UTF-8 never uses ASCII bytes inside a longer character.
    std::erase_if(name, [](char c) { return c == kNameSeparator || IsControl(c); });
    return name;
}

std::string ZoneNameFromField(std::string_view field) {
    return std::string(FirstCharacters(ZoneNameCharacters(field), kZoneNameLength));
}

// --- ZoneListEditor ---

ZoneListEditor::ZoneListEditor(const ZoneList& zones) : Addr_(zones.DevAddr), Names_(zones.DevName) {
    const int count = zones.slotsInUse();
    while (lineCount_ < count && Addr_[static_cast<std::size_t>(lineCount_)] != 0) {
        ++lineCount_;
    }
}

std::string ZoneListEditor::Line(int line) const {
    const auto slot = static_cast<std::size_t>(line);
    return ZoneLine(Addr_.at(slot), Names_.at(slot));
}

ZoneListEditor::EditResult ZoneListEditor::Add(std::string_view addressField, std::string_view nameField) {
    if (lineCount_ >= kZoneSlots) {
        return EditResult::kListFull;
    }
    const EditResult result = Store(lineCount_, addressField, nameField);
    if (result == EditResult::kDone) {
        ++lineCount_;
    }
    return result;
}

ZoneListEditor::EditResult ZoneListEditor::Modify(int line, std::string_view addressField,
                                                  std::string_view nameField) {
    return IsLine(line) ? Store(line, addressField, nameField) : EditResult::kNoLine;
}

ZoneListEditor::EditResult ZoneListEditor::Store(int slot, std::string_view addressField,
                                                 std::string_view nameField) {
    const auto address = ParseZoneAddress(addressField);
    if (!address) {
        return EditResult::kBadAddress;
    }
    Addr_[static_cast<std::size_t>(slot)] = *address;
    Names_[static_cast<std::size_t>(slot)] = ZoneNameFromField(nameField);
    return EditResult::kDone;
}

bool ZoneListEditor::Remove(int line) {
    if (!IsLine(line) || lineCount_ <= 1) {
        return false;
    }
    for (auto slot = static_cast<std::size_t>(line); slot + 1 < kZoneSlots; ++slot) {
        Addr_[slot] = Addr_[slot + 1];
        Names_[slot] = Names_[slot + 1];
    }
    Addr_[kZoneSlots - 1] = 0;
    --lineCount_;
    return true;
}

void ZoneListEditor::BeginSearch() {
    addrBeforeSearch_ = Addr_;
    lineCountBeforeSearch_ = lineCount_;
    Addr_.fill(0);
    lineCount_ = 0;
}

void ZoneListEditor::AppendFound(int address) {
    if (lineCount_ < kZoneSlots) {
        Addr_[static_cast<std::size_t>(lineCount_++)] = address;
    }
}

bool ZoneListEditor::EndSearch() {
    if (lineCount_ > 0 && Addr_[0] != 0) {
        return false;
    }
    Addr_[0] = kFirstSlaveAddress;
    lineCount_ = 1;
    return true;
}

void ZoneListEditor::AbandonSearch() {
    Addr_ = addrBeforeSearch_;
    lineCount_ = lineCountBeforeSearch_;
}

ZoneList ZoneListEditor::Applied() const {
    ZoneList zones;
    zones.DevCount = lineCount_;
    zones.DevName = Names_;
    // Slots past the lines may still hold addresses (a settings file with a gap); the poll cycle must
    // not reach a slot that has no record.
    for (int slot = 0; slot < kZoneSlots; ++slot) {
        const auto at = static_cast<std::size_t>(slot);
        zones.DevAddr[at] = slot < lineCount_ ? Addr_[at] : 0;
    }
    return zones;
}

// --- BusSearch ---

BusSearch::BusSearch(TTrans& trans, PollingState& polling) : trans_(trans), polling_(polling) {
    InitRegulator(Probe);
}

void BusSearch::Start() {
    pause_.emplace(polling_);
    stepping_ = true;
    foundCount_ = 0;
    Probe.address = kFirstSlaveAddress;
}

BusSearch::Step BusSearch::Next() {
    if (!stepping()) {
        return {Outcome::kIdle, address()};
    }
    const int asked = address();
    if (asked > kLastSlaveAddress) {
        stepping_ = false;
        return {Outcome::kRangeEnd, asked};
    }
    const ExchangeResult result = Identify(Probe, trans_);
    if (result == ExchangeResult::kPortNotOpen) {
        // Every later address would fail alike, without a word on the line.
        stepping_ = false;
        return {Outcome::kPortNotOpen, asked};
    }
    const bool isHz70 = result == ExchangeResult::kSlaveIdOk && Probe.deviceId == kHz70SlaveId;
    Probe.address = static_cast<std::int16_t>(asked + 1);
    if (!isHz70) {
        return {Outcome::kNone, asked};
    }
    if (++foundCount_ == kZoneSlots) {
        Stop();
        return {Outcome::kFoundAll, asked};
    }
    return {Outcome::kFound, asked};
}

void BusSearch::Stop() {
    stepping_ = false;
    pause_.reset();
}

} // namespace hz70
