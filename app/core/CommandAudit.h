// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DurableAppender.h"

#include <filesystem>
#include <memory>
#include <string>

namespace hz70 {

struct CommandReport;

// The columns of the command audit log.
inline constexpr const char* kCommandAuditHeader =
    "time,origin,topic,payload,zone,address,setting,before,requested,read_back,result";

// One audit line: text fields quoted as CSV wants and in UTF-8 as they came, control characters, the
// backslash and bytes that are no UTF-8 as \xNN (a payload may be anything), numbers with a point, empty
// where there is no value; the result is "ok" or the reason.
[[nodiscard]] std::string CommandAuditLine(const CommandReport& report);

// Every command from the broker, accepted or refused, appended to a CSV file and put on the disk from a
// thread of its own, as the measurement recording is.
class CommandAudit {
public:
    // Opens `file` for appending (a header when it is new): empty, or why not.
    [[nodiscard]] std::string Start(const std::filesystem::path& file);
    // Queues the report's line and returns at once; nothing after a failure to write.
    void Append(const CommandReport& report);

private:
    std::unique_ptr<DurableAppender> appender_;
};

} // namespace hz70
