// SPDX-License-Identifier: GPL-3.0-or-later
#include "LinkCommands.h"

#include <cstdio>
#include <optional>
#include <ostream>

namespace hz70::cli {
namespace {

// Prints the result line; true when the controller gave the answer asked for.
bool ReportResult(std::ostream& out, int result, int expected) {
    out << "result " << result << " (" << DescribeResult(result) << ")\n";
    return result == expected;
}

void ReportExceptionCode(TTrans& trans, std::ostream& out, int result) {
    std::uint8_t code = 0;
    if (result >= kExceptionFlag && trans.GetValue('c', &code) == 0) {
        out << "exception " << static_cast<int>(code) << "\n";
    }
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

std::string DescribeResult(int code) {
    switch (code) {
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

int RunIdentify(TTrans& trans, const CliOptions& options, std::ostream& out) {
    std::uint8_t id = 0;
    const int result = trans.ReportSlaveId(static_cast<std::uint8_t>(options.address), &id);
    if (!ReportResult(out, result, kSlaveIdOk)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    out << "slave id " << static_cast<int>(id) << (id == kHz70SlaveId ? " (HZ70)" : " (not an HZ70)") << "\n";
    return kExitOk;
}

int RunRead(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err) {
    const auto request = ParseRegisterAndNumber(options, 1, 125);
    if (!request) {
        err << "read needs REG (0..65535) and COUNT (1..125)\n";
        return kExitUsage;
    }
    const int result =
        trans.ReadRegisters(static_cast<std::uint8_t>(options.address), request->reg, request->number);
    if (!ReportResult(out, result, kReadOk)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    for (int i = 0; i < request->number; ++i) {
        std::uint16_t word = 0;
        if (trans.GetValue('i', &word) != 0) {
            err << "reply shorter than asked for\n";
            return kExitFailed;
        }
        out << request->reg + i << " " << word << " " << static_cast<std::int16_t>(word) << " " << Hex4(word)
            << "\n";
    }
    return kExitOk;
}

int RunWrite(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err) {
    const auto request = ParseRegisterAndNumber(options, 0, 65535);
    if (!request) {
        err << "write needs REG (0..65535) and VALUE (0..65535)\n";
        return kExitUsage;
    }
    trans.ResetPayload();
    (void)trans.PutValue('i', &request->number);
    const int result = trans.WriteRegister(static_cast<std::uint8_t>(options.address), request->reg);
    if (!ReportResult(out, result, kWriteOk)) {
        ReportExceptionCode(trans, out, result);
        return kExitFailed;
    }
    return kExitOk;
}

int RunLinkCommand(TTrans& trans, const CliOptions& options, std::ostream& out, std::ostream& err) {
    if (options.command == "identify" && options.arguments.empty()) {
        return RunIdentify(trans, options, out);
    }
    if (options.command == "read") {
        return RunRead(trans, options, out, err);
    }
    if (options.command == "write") {
        return RunWrite(trans, options, out, err);
    }
    err << "unknown command or arguments: " << options.command << "\n";
    return kExitUsage;
}

} // namespace hz70::cli
