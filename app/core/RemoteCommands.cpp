// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/RemoteCommands.h"

#include "app/core/CommandAudit.h"
#include "comm/LinkOutcomes.h"
#include "comm/ModbusFraming.h"
#include "model/SettingInput.h"
#include "model/StatusWord.h"

#include <algorithm>
#include <cmath>

namespace hz70 {
namespace {

using publish::CommandResult;
using publish::IncomingCommand;

// Lines whose values are temperatures (SP, SPL, SPR); the other lines left to the controller, ADH and
// ADL, are differences of two.
constexpr int kAbsoluteTemperatureLines[] = {0, 1, 2};

constexpr std::string_view kStop = "stop";
constexpr std::string_view kAuto = "auto";

bool Contains(const auto& lines, int line) {
    return std::find(std::begin(lines), std::end(lines), line) != std::end(lines);
}

std::string Quoted(std::string_view text) {
    return "„" + std::string(text) + "”";
}

// The topic's last four levels: "zone", the zone, "set", the setting.
struct TopicLevels {
    std::string_view zone;
    std::string_view setting;
};

std::optional<TopicLevels> SplitTopic(std::string_view topic) {
    std::string_view levels[4];
    for (int i = 3; i >= 0; --i) {
        const std::size_t slash = topic.rfind('/');
        if (slash == std::string_view::npos && i > 0) {
            return std::nullopt;
        }
        levels[i] = slash == std::string_view::npos ? topic : topic.substr(slash + 1);
        topic = slash == std::string_view::npos ? std::string_view() : topic.substr(0, slash);
    }
    if (levels[0] != "zone" || levels[2] != "set") {
        return std::nullopt;
    }
    return TopicLevels{levels[1], levels[3]};
}

// 1..8 in plain decimal digits, no sign, no leading zero.
int ZoneNumber(std::string_view text) {
    if (text.size() != 1 || text[0] < '1' || text[0] > '0' + kZoneSlots) {
        return 0;
    }
    return text[0] - '0';
}

// The settings line the dialog writes under that register name; none for STOP, which is the mode.
std::optional<int> SettingsLine(std::string_view name) {
    for (int line = 0; line < kSettingsBlock; ++line) {
        if (name == RegisterMap[static_cast<std::size_t>(kMeasuredRows + line)].mnemonic) {
            return line;
        }
    }
    return std::nullopt;
}

// Control characters (a tab aside) or bytes beyond ASCII: no number and no mode holds them.
bool Binary(std::string_view payload) {
    return std::any_of(payload.begin(), payload.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && c != '\t') || byte >= 0x7F;
    });
}

bool StatusKnown(const TRegulator& record) {
    return !IsNoValue(record.measured[kStatusWord].value);
}

double Mode(std::uint16_t statusWord) {
    if ((statusWord & kAutomaticBit) != 0) {
        return publish::kModeAuto;
    }
    return (statusWord & kManualBit) != 0 ? publish::kModeManual : publish::kModeStop;
}

std::optional<double> Value(const TParametr& row) {
    return IsNoValue(row.value) ? std::nullopt : std::optional<double>(row.value);
}

// The row's limits, in °F for a zone that works in °F (they are given for °C); a limit that falls
// between two whole degrees is taken inward.
std::pair<double, double> TemperatureLimits(const TParametr& row, int line, bool fahrenheit) {
    if (!fahrenheit) {
        return {row.min, row.max};
    }
    const double offset = Contains(kAbsoluteTemperatureLines, line) ? 32.0 : 0.0;
    return {std::ceil(row.min * 9.0 / 5.0 + offset), std::floor(row.max * 9.0 / 5.0 + offset)};
}

std::string RangeReason(double min, double max) {
    return "poza zakresem " + std::to_string(static_cast<long>(min)) + ".." +
           std::to_string(static_cast<long>(max));
}

std::string WriteFailure(ExchangeResult result, std::uint16_t writeException) {
    if (result == ExceptionReplyTo(kWriteSingleRegister)) {
        return "wyjątek Modbus " + ModbusExceptionText(writeException);
    }
    return std::string(RemoteCommands::kNoAnswer);
}

} // namespace

RemoteCommands::RemoteCommands(DeviceList& devices, TTrans& trans, PollingState& polling, Clock& clock)
    : devices_(devices), trans_(trans), polling_(polling), clock_(clock) {}

RemoteCommands::~RemoteCommands() = default;

std::string RemoteCommands::StartAudit(const std::filesystem::path& file) {
    auto audit = std::make_unique<CommandAudit>();
    std::string error = audit->Start(file);
    if (error.empty()) {
        audit_ = std::move(audit);
    }
    return error;
}

std::vector<CommandReport> RemoteCommands::Submit(std::vector<IncomingCommand> commands) {
    std::vector<CommandReport> refused;
    for (IncomingCommand& command : commands) {
        Accepted accepted{{std::move(command), {}, 0}, std::nullopt, 0};
        accepted.report.result.when = std::chrono::system_clock::now();
        if (std::string reason = Check(accepted); !reason.empty()) {
            accepted.report.result.reason = std::move(reason);
            Audit(accepted.report);
            refused.push_back(std::move(accepted.report));
            continue;
        }
        accepted_.push_back(std::move(accepted));
    }
    return refused;
}

DeviceEntry* RemoteCommands::FindZone(int number) const {
    const auto found = std::find_if(devices_.begin(), devices_.end(), [number](const auto& entry) {
        return entry && entry->record.zoneNumber == number;
    });
    return found != devices_.end() ? found->get() : nullptr;
}

std::string RemoteCommands::Check(Accepted& command) {
    const IncomingCommand& request = command.report.request;
    CommandResult& result = command.report.result;
    if (request.retained) {
        return std::string(kRetained);
    }
    const auto levels = SplitTopic(request.topic);
    if (!levels) {
        return "nieznany temat " + Quoted(request.topic);
    }
    const DeviceEntry* zone = FindZone(ZoneNumber(levels->zone));
    if (zone == nullptr) {
        return "brak strefy " + std::string(levels->zone);
    }
    const TRegulator& record = zone->record;
    result.zone = record.zoneNumber;
    command.report.address = record.address;
    const bool mode = levels->setting == publish::kModeSetting;
    command.line = SettingsLine(levels->setting);
    if (!mode && !command.line) {
        return "nieznane ustawienie " + Quoted(levels->setting);
    }
    result.setting = levels->setting;
    if (request.payload.size() > kPayloadLimit) {
        return "za długa wartość (ponad " + std::to_string(kPayloadLimit) + " bajtów)";
    }
    if (std::string reason = CheckValue(command); !reason.empty()) {
        return reason;
    }
    if (Repeated(request)) {
        return std::string(kRepeated);
    }
    if (accepted_.size() >= kWaitingLimit) {
        return std::string(publish::kTooManyCommands);
    }
    recent_.push_back({DuplicateKey(request), clock_.GetTickCount()});
    return {};
}

std::string RemoteCommands::CheckValue(Accepted& command) const {
    std::string reason = command.line ? CheckSetting(command) : CheckMode(command);
    if (reason.empty() && FindZone(command.report.result.zone)->record.commError != 0) {
        reason = kNoAnswer;
    }
    return reason;
}

std::string RemoteCommands::CheckMode(Accepted& command) const {
    const std::string& payload = command.report.request.payload;
    const TRegulator& record = FindZone(command.report.result.zone)->record;
    if (StatusKnown(record)) {
        command.report.result.before = Mode(StatusWord(record));
    }
    if (payload != kStop && payload != kAuto) {
        return "nieznany tryb " + (Binary(payload) ? std::string() : Quoted(payload) + ' ') +
               "(stop albo auto)";
    }
    command.word = payload == kAuto ? 1 : 0;
    command.report.result.requested = payload == kAuto ? publish::kModeAuto : publish::kModeStop;
    return {};
}

std::string RemoteCommands::CheckSetting(Accepted& command) const {
    const std::string& payload = command.report.request.payload;
    CommandResult& result = command.report.result;
    const TRegulator& record = FindZone(result.zone)->record;
    const int line = *command.line;
    const TParametr& row = record.settings[static_cast<std::size_t>(line)];
    result.before = Value(row);
    result.unit = row.unit;
    const CheckedInput input = Binary(payload) ? CheckedInput{} : CheckSettingInput(payload, line, row);
    if (input.verdict == InputVerdict::kNotANumber) {
        return std::string(kNotANumber);
    }
    if (input.verdict == InputVerdict::kAccepted) {
        result.requested = input.word;
    }
    const bool temperature = !IsRangeChecked(line);
    if (temperature && !StatusKnown(record)) {
        return std::string(kUnitUnknown);
    }
    const auto [min, max] =
        temperature ? TemperatureLimits(row, line, record.fahrenheit != 0) : std::pair{row.min, row.max};
    if (input.verdict == InputVerdict::kOutOfRange || input.word < min || input.word > max) {
        return RangeReason(min, max);
    }
    command.word = input.word;
    return {};
}

std::string RemoteCommands::DuplicateKey(const IncomingCommand& request) {
    std::string key = request.topic;
    key += '\0';
    key += request.payload;
    key += '\0';
    key += request.correlation;
    return key;
}

bool RemoteCommands::Repeated(const IncomingCommand& request) {
    const std::uint32_t now = clock_.GetTickCount();
    const auto window = static_cast<std::uint32_t>(std::chrono::milliseconds(kDuplicateWindow).count());
    std::erase_if(recent_, [&](const Recent& recent) { return now - recent.acceptedMs >= window; });
    const std::string key = DuplicateKey(request);
    return std::any_of(recent_.begin(), recent_.end(),
                       [&](const Recent& recent) { return recent.key == key; });
}

std::optional<CommandReport> RemoteCommands::RunNext(const PollTickResult& tick) {
    const std::uint32_t now = clock_.GetTickCount();
    const bool resting = lastRunMs_ && now - *lastRunMs_ < static_cast<std::uint32_t>(kRunInterval.count());
    if (tick.outcome == PollOutcome::kPending || accepted_.empty() || resting) {
        return std::nullopt;
    }
    Accepted command = std::move(accepted_.front());
    accepted_.pop_front();
    CommandResult& result = command.report.result;
    // Checked again: while it waited, the list may have been rebuilt, the zone may have stopped
    // answering or changed its unit.
    DeviceEntry* zone = FindZone(result.zone);
    if (zone == nullptr) {
        result.reason = "brak strefy " + std::to_string(result.zone);
    } else if (std::string reason = CheckValue(command); !reason.empty()) {
        result.reason = std::move(reason);
    } else {
        lastRunMs_ = now;
        Run(command, zone->record);
    }
    result.when = std::chrono::system_clock::now();
    Audit(command.report);
    return std::move(command.report);
}

void RemoteCommands::Run(Accepted& command, TRegulator& record) {
    CommandResult& result = command.report.result;
    const std::uint16_t reg =
        command.line ? static_cast<std::uint16_t>(kFirstSettingRegister + *command.line) : kStopRegister;
    const ExchangeResult written = WriteSetting(record, trans_, reg, command.word);
    if (written != ExchangeResult::kWriteOk) {
        result.reason = WriteFailure(written, record.writeException);
        return;
    }
    result.readBack = command.line ? ReadBackSetting(record, *command.line) : ReadBackMode(record);
    if (!result.readBack) {
        result.reason = kNotReadBack;
    } else if (*result.readBack != *result.requested) {
        result.reason = "regulator ma inną wartość";
    }
    result.ok = result.reason.empty();
}

// Only the register written: the whole block's reply would hold the line five times as long.
std::optional<double> RemoteCommands::ReadBackSetting(TRegulator& record, int line) {
    const auto reg = static_cast<std::uint16_t>(kFirstSettingRegister + line);
    if (ReadSettings(record, trans_, polling_, reg, 1) != ReadOutcome::kRead) {
        return std::nullopt;
    }
    return Value(record.settings[static_cast<std::size_t>(line)]);
}

// The STOP register is only written: the mode shows in the status word.
std::optional<double> RemoteCommands::ReadBackMode(TRegulator& record) {
    const PollingPause pause(polling_);
    const auto address = static_cast<std::uint8_t>(record.address);
    const ExchangeResult read = trans_.ReadRegisters(address, kFirstMeasuredRegister + kStatusWord, 1);
    const auto words = trans_.ReplyRegisters();
    if (read != ExchangeResult::kReadOk || words.empty()) {
        return std::nullopt;
    }
    record.measured[kStatusWord].raw = static_cast<std::int16_t>(words[0]);
    return Mode(words[0]);
}

void RemoteCommands::Audit(const CommandReport& report) {
    if (audit_) {
        audit_->Append(report);
    }
}

} // namespace hz70
