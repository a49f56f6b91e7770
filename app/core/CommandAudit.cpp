// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/CommandAudit.h"

#include "app/core/RemoteCommands.h"
#include "model/Utf8.h"
#include "publish/Json.h"
#include "publish/ZoneMessages.h"

#include <cstdio>

namespace hz70 {
namespace {

// The length of the well-formed UTF-8 character at `at` that is no control character (C0, DEL, C1), or 0.
std::size_t PrintableUtf8Length(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    const bool c1 = lead == 0xC2 && at + 1 < text.size() && static_cast<unsigned char>(text[at + 1]) < 0xA0;
    return lead < 0x20 || lead == 0x7F || c1 ? 0 : Utf8Length(text, at);
}

// Readable text stays as it is, Polish included; control characters and bytes that are no UTF-8 become
// \xNN, and so does the backslash, so that an escape in the file always stands for one byte.
std::string CsvText(std::string_view text) {
    std::string field = "\"";
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = PrintableUtf8Length(text, at);
        if (length == 0 || text[at] == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", static_cast<unsigned char>(text[at]));
            field += escaped;
            ++at;
            continue;
        }
        field += text[at] == '"' ? std::string_view("\"\"") : text.substr(at, length);
        at += length;
    }
    return field + '"';
}

std::string CsvValue(const publish::CommandResult& result, const std::optional<double>& value) {
    if (!value) {
        return {};
    }
    return result.setting == publish::kModeSetting ? publish::ModeName(*value)
                                                   : publish::JsonNumber(*value, 0);
}

std::string CsvNumber(int value) {
    return value > 0 ? std::to_string(value) : std::string();
}

} // namespace

std::string CommandAuditLine(const CommandReport& report) {
    const publish::CommandResult& result = report.result;
    return publish::IsoLocalTime(result.when) + ',' + CsvText(report.request.origin) + ',' +
           CsvText(report.request.topic) + ',' + CsvText(report.request.payload) + ',' +
           CsvNumber(result.zone) + ',' + CsvNumber(report.address) + ',' + CsvText(result.setting) + ',' +
           CsvValue(result, result.before) + ',' + CsvValue(result, result.requested) + ',' +
           CsvValue(result, result.readBack) + ',' + CsvText(result.ok ? std::string("ok") : result.reason);
}

std::string CommandAudit::Start(const std::filesystem::path& file) {
    return StartAppending(appender_, file, kCommandAuditHeader);
}

void CommandAudit::Append(const CommandReport& report) {
    if (appender_) {
        appender_->Append(CommandAuditLine(report) + "\n");
    }
}

} // namespace hz70
