// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/LinkCommands.h"

#include "model/Slohz70.h"
#include "model/StatusWord.h"

#include <cstdio>
#include <ostream>
#include <vector>

namespace hz70::cli {

using enum ExchangeResult;

namespace {

// Prints the result line; true when the controller gave the answer asked for. A wait that a stop cut
// short proves nothing about the controller, so it is not told as "no valid reply".
bool ReportResult(std::ostream& out, ExchangeResult result, ExchangeResult expected, StopCondition& stop) {
    if (result == kNoReply && stop.Reached()) {
        return false;
    }
    out << "result " << ToInt(result) << " (" << DescribeResult(result) << ")\n";
    return result == expected;
}

void ReportExceptionCode(TTrans& trans, std::ostream& out, ExchangeResult result) {
    std::uint8_t code = 0;
    if (IsExceptionReply(result) && trans.GetValue('c', &code)) {
        out << DescribeException(code) << "\n";
    }
}

constexpr std::uint16_t kStatusRegister = 4019;

// The row of the HZ70's map for `reg` in `record`, and whether it is a measured row (signed words).
struct MapRow {
    const TParametr* row = nullptr;
    bool measured = false;
};

MapRow FindRow(const TRegulator& record, std::uint16_t reg) {
    for (const TParametr& row : record.measured) {
        if (row.reg == reg) {
            return {&row, true};
        }
    }
    for (const TParametr& row : record.settings) {
        if (row.reg == reg) {
            return {&row, false};
        }
    }
    return {};
}

// The value as the program shows it: measured words are signed, settings unsigned.
std::string ScaledValue(const MapRow& found, std::uint16_t word) {
    const TParametr& row = *found.row;
    const double raw = found.measured ? static_cast<double>(static_cast<std::int16_t>(word)) : word;
    char text[32];
    std::snprintf(text, sizeof text, row.scale < 1.0 ? "%.1f" : "%.0f", raw * row.scale + row.offset);
    return text;
}

// The register and the second number of "read REG COUNT" and "write REG VALUE".
struct RegisterAndNumber {
    std::uint16_t reg;
    std::uint16_t number;
};

std::optional<RegisterAndNumber> ParseRegisterAndNumber(const CliOptions& options, long minimum,
                                                        long maximum) {
    if (options.arguments.size() != 2) {
        return std::nullopt;
    }
    const auto reg = ParseBoundedNumber(options.arguments[0], 0, 65535);
    const auto number = ParseBoundedNumber(options.arguments[1], minimum, maximum);
    if (!reg || !number) {
        return std::nullopt;
    }
    return RegisterAndNumber{static_cast<std::uint16_t>(*reg), static_cast<std::uint16_t>(*number)};
}

std::string Hex4(unsigned value) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
    return text;
}

} // namespace

std::string DescribeException(int code) {
    return "exception " + ModbusExceptionText(code);
}

std::string FormatRegisterLine(std::uint16_t reg, std::uint16_t word, std::optional<bool> fahrenheit) {
    std::string line = std::to_string(reg) + " " + std::to_string(word) + " " +
                       std::to_string(static_cast<std::int16_t>(word)) + " " + Hex4(word);
    TRegulator record;
    InitRegulator(record);
    SetTemperatureUnit(record, fahrenheit ? (*fahrenheit ? kFahrenheitUnit : kCelsiusUnit) : "°C/°F");
    const MapRow found = FindRow(record, reg);
    if (found.row == nullptr) {
        return line;
    }
    line += ' ';
    line += found.row->mnemonic;
    // The alarm and status words are bit fields: a scaled value would mean nothing.
    if (found.measured && found.row->type == kPlainWord) {
        return line;
    }
    line += ' ';
    line += ScaledValue(found, word);
    if (*found.row->unit != '\0') {
        line += ' ';
        line += found.row->unit;
    }
    return line;
}

std::string DescribeResult(ExchangeResult result) {
    const int code = ToInt(result);
    switch (result) {
    case kPortNotOpen:
        return "port not open";
    case kRefused:
        return "request refused";
    case kNoReply:
        return "no valid reply";
    case kReadOk:
        return "registers read";
    case kWriteOk:
        return "register written";
    case kSlaveIdOk:
        return "slave id reported";
    case kBusy:
        return "in progress";
    default:
        if (code > kExceptionFlag && code < 0x100) {
            return "exception reply to function " + std::to_string(code - kExceptionFlag);
        }
        return "unexpected function " + std::to_string(code);
    }
}

namespace {

int RunIdentify(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out) {
    std::uint8_t id = 0;
    const ExchangeResult result = trans.ReportSlaveId(static_cast<std::uint8_t>(options.address), &id);
    if (!ReportResult(out, result, kSlaveIdOk, stop)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    out << "slave id " << static_cast<int>(id) << (id == kHz70SlaveId ? " (HZ70)" : " (not an HZ70)") << "\n";
    return kExitOk;
}

int RunRead(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out,
            std::ostream& err) {
    const auto request = ParseRegisterAndNumber(options, 1, 125);
    if (!request) {
        err << "hz70cli: read needs REG (0..65535) and COUNT (1..125)\n";
        return kExitUsage;
    }
    const ExchangeResult result =
        trans.ReadRegisters(static_cast<std::uint8_t>(options.address), request->reg, request->number);
    if (!ReportResult(out, result, kReadOk, stop)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    std::vector<std::uint16_t> words(request->number);
    for (std::uint16_t& word : words) {
        if (!trans.GetValue('i', &word)) {
            err << "hz70cli: the reply holds fewer registers than asked for\n";
            return kExitFailed;
        }
    }
    std::optional<bool> fahrenheit;
    if (const std::size_t status = kStatusRegister - request->reg;
        kStatusRegister >= request->reg && status < words.size()) {
        fahrenheit = WorksInFahrenheit(words[status]);
    }
    for (std::size_t i = 0; i < words.size(); ++i) {
        out << FormatRegisterLine(static_cast<std::uint16_t>(request->reg + i), words[i], fahrenheit) << "\n";
    }
    return kExitOk;
}

int RunWrite(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out,
             std::ostream& err) {
    const auto request = ParseRegisterAndNumber(options, 0, 65535);
    if (!request) {
        err << "hz70cli: write needs REG (0..65535) and VALUE (0..65535)\n";
        return kExitUsage;
    }
    trans.ResetPayload();
    (void)trans.PutValue('i', &request->number);
    const ExchangeResult result =
        trans.WriteRegister(static_cast<std::uint8_t>(options.address), request->reg);
    if (!ReportResult(out, result, kWriteOk, stop)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    return kExitOk;
}

} // namespace

int RunLinkCommand(TTrans& trans, const CliOptions& options, StopCondition& stop, std::ostream& out,
                   std::ostream& err) {
    if (options.command == "identify" && options.arguments.empty()) {
        return RunIdentify(trans, options, stop, out);
    }
    if (options.command == "read") {
        return RunRead(trans, options, stop, out, err);
    }
    if (options.command == "write") {
        return RunWrite(trans, options, stop, out, err);
    }
    err << "hz70cli: unknown command " << options.command << "\n";
    return kExitUsage;
}

} // namespace hz70::cli
