// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/ZoneListEditor.h"

#include <algorithm>
#include <cstdio>

namespace hz70 {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
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

std::optional<int> ParseZoneAddress(std::string_view field) {
    std::string_view text = Trimmed(field);
    const bool negative = !text.empty() && text.front() == '-';
    if (!text.empty() && (text.front() == '-' || text.front() == '+')) {
        text.remove_prefix(1);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    long long value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = std::min(value * 10 + (c - '0'), 1'000'000LL); // far past the range, never overflowing
    }
    if (negative) {
        value = -value;
    }
    if (value < kFirstSlaveAddress || value > kLastSlaveAddress) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

std::string ZoneNameFromField(std::string_view field) {
    std::string name(field);
    std::erase(name, kNameSeparator);
    return std::string(FirstCharacters(name, kZoneNameLength));
}

// --- ZoneListEditor ---

ZoneListEditor::ZoneListEditor(const ZoneList& zones) : Addr_(zones.DevAddr), Names_(zones.DevName) {
    const int count = std::clamp(zones.DevCount, 0, kZoneSlots);
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
    foundCount_ = 0;
    Probe.address = kFirstSlaveAddress;
}

BusSearch::Step BusSearch::Next() {
    if (!stepping()) {
        return {Outcome::kIdle, address()};
    }
    const int asked = address();
    if (asked > kLastSlaveAddress) {
        Stop();
        return {Outcome::kRangeEnd, asked};
    }
    const bool isHz70 = Identify(Probe, trans_) == 0 && Probe.deviceId == kHz70SlaveId;
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
    pause_.reset();
}

} // namespace hz70
