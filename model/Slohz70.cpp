// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/Slohz70.h"

#include <algorithm>
#include <optional>

namespace hz70 {

using enum ExchangeResult;

namespace {

constexpr ExchangeResult kExceptionToWrite = ExceptionReplyTo(kWriteSingleRegister);

// Modbus unicast addresses are 1..247; anything else in a record must not reach the wire, where it
// would be cut to a byte and address some other slave.
std::optional<std::uint8_t> SlaveAddress(const TRegulator& record) {
    if (record.address < 1 || record.address > 247) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(record.address);
}

// A function-3 reply that the master accepted may still carry fewer words than were asked for.
bool ReplyHoldsWords(const TTrans& trans, int words) {
    return trans.ReplyRegisters().size() >= static_cast<std::size_t>(words);
}

void StoreMeasured(TParametr& row, std::uint16_t word) {
    row.raw = static_cast<std::int16_t>(word);
    row.value = row.type == kScaledValue ? row.raw * row.scale + row.offset : 0.0;
}

void StoreSetting(TParametr& row, std::uint16_t word) {
    row.raw = static_cast<std::int16_t>(word);
    const bool computed = row.type == kScaledValue || (row.type == kPlainWord && row.flags == 0);
    row.value = computed ? word * row.scale + row.offset : 0.0;
}

PollOutcome CountFailedPoll(TRegulator& record) {
    if (record.failCount < kFailuresBeforeGivingUp) {
        ++record.failCount;
    }
    record.commError = 1;
    if (record.failCount < kFailuresBeforeGivingUp) {
        return PollOutcome::kPending;
    }
    for (TParametr& row : record.measured) {
        row.raw = 0;
        if (row.type == kScaledValue) {
            row.value = kNoValue;
        }
    }
    return PollOutcome::kFailed;
}

} // namespace

TRegulator& InitRegulator(TRegulator& record) {
    record = TRegulator{};
    record.measuredCount = kMeasuredRows;
    record.settingsCount = kSettingsBlock;
    std::copy_n(RegisterMap.begin(), kMeasuredRows, record.measured.begin());
    std::copy_n(RegisterMap.begin() + kMeasuredRows, kSettingsRows, record.settings.begin());
    for (TParametr& row : record.measured) {
        row.value = kNoValue;
    }
    for (TParametr& row : record.settings) {
        row.value = kNoValue;
    }
    return record;
}

void SetTemperatureUnit(TRegulator& record, const char* unit) {
    for (const int row : {kMeasuredTemperature, kCurrentSetpoint}) {
        record.measured[static_cast<std::size_t>(row)].unit = unit;
    }
    for (const int setting : {0, 1, 2, 4, 5}) {
        record.settings[static_cast<std::size_t>(setting)].unit = unit;
    }
}

PollOutcome PollStep(TRegulator& record, TTrans& trans) {
    // The count is a public field; it must never index past the measured rows.
    const int count = std::clamp<int>(record.measuredCount, 0, kMeasuredRows);
    const auto address = SlaveAddress(record);
    ExchangeResult result = address ? trans.ReadRegistersAsync(*address, record.measured[0].reg,
                                                               static_cast<std::uint16_t>(count))
                                    : kRefused;
    if (result == kReadOk && !ReplyHoldsWords(trans, count)) {
        result = kNoReply;
    }
    record.lastResult = static_cast<std::int16_t>(ToInt(result));
    if (result == kBusy) {
        return PollOutcome::kPending;
    }
    if (result != kReadOk) {
        return CountFailedPoll(record);
    }
    const auto words = trans.ReplyRegisters();
    for (int i = 0; i < count; ++i) {
        StoreMeasured(record.measured[static_cast<std::size_t>(i)], words[static_cast<std::size_t>(i)]);
    }
    record.failCount = 0;
    return PollOutcome::kUpdated;
}

AttachOutcome Attach(TRegulator& record, TTrans& trans, PollingState& polling) {
    const PollingPause pause(polling);
    record.identified = 0;
    std::uint8_t id = 0;
    const auto address = SlaveAddress(record);
    const ExchangeResult result = address ? trans.ReportSlaveId(*address, &id) : kRefused;
    record.lastResult = static_cast<std::int16_t>(ToInt(result));
    if (result == kBusy) {
        record.monitoring = 0;
        record.commError = 1;
        return AttachOutcome::kBusy;
    }
    if (result == kSlaveIdOk) {
        record.deviceId = id;
        record.identified = id == kHz70SlaveId ? 1 : 0;
        record.commError = 0;
    }
    if (record.identified == 1) {
        (void)ReadSettings(record, trans, polling, kFirstSettingRegister, kSettingsBlock);
    }
    record.monitoring = 1;
    return AttachOutcome::kDone;
}

ExchangeResult Identify(TRegulator& record, TTrans& trans) {
    record.identified = 0;
    std::uint8_t id = 0;
    const auto address = SlaveAddress(record);
    const ExchangeResult result = address ? trans.ReportSlaveId(*address, &id) : kRefused;
    record.lastResult = static_cast<std::int16_t>(ToInt(result));
    if (result != kSlaveIdOk) {
        record.commError = 1;
        return result;
    }
    record.deviceId = id;
    record.identified = 1;
    record.commError = 0;
    return result;
}

ReadOutcome ReadSettings(TRegulator& record, TTrans& trans, PollingState& polling, std::uint16_t first,
                         int count) {
    const int firstRow = first - kFirstSettingRegister;
    if (firstRow < 0 || count < 1 || firstRow + count > kSettingsRows) {
        return ReadOutcome::kFailed;
    }
    const PollingPause pause(polling);
    const auto address = SlaveAddress(record);
    ExchangeResult result =
        address ? trans.ReadRegisters(*address, first, static_cast<std::uint16_t>(count)) : kRefused;
    if (result == kReadOk && !ReplyHoldsWords(trans, count)) {
        result = kNoReply;
    }
    record.lastResult = static_cast<std::int16_t>(ToInt(result));
    if (result != kReadOk) {
        record.commError = 1;
        return ReadOutcome::kFailed;
    }
    const auto words = trans.ReplyRegisters();
    for (int j = 0; j < count; ++j) {
        StoreSetting(record.settings[static_cast<std::size_t>(firstRow + j)],
                     words[static_cast<std::size_t>(j)]);
    }
    record.commError = 0;
    return ReadOutcome::kRead;
}

ExchangeResult WriteSetting(TRegulator& record, TTrans& trans, std::uint16_t reg, std::uint16_t value) {
    const auto address = SlaveAddress(record);
    const auto attempt = [&] {
        trans.ResetPayload();
        (void)trans.PutValue('i', &value);
        return address ? trans.WriteRegister(*address, reg) : kRefused;
    };
    ExchangeResult result = attempt();
    if (result != kWriteOk) {
        result = attempt();
    }
    record.lastResult = static_cast<std::int16_t>(ToInt(result));
    if (result == kExceptionToWrite) {
        std::uint8_t code = 0;
        (void)trans.GetValue('c', &code);
        record.writeException = code;
    }
    return result;
}

} // namespace hz70
