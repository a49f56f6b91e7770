// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Trans.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/Interruption.h"
#include "model/ZoneList.h"

#include <iosfwd>
#include <optional>
#include <string>

namespace hz70::cli {

// "settings save|diff|load|copy ...": settings sets of the zones, see UsageText. `listedZones` are those
// of the settings file. The results on `out`, one line per zone and setting; why nothing could be done
// on `err`.
int RunSettings(TTrans& trans, const CliOptions& options, const ZoneList& listedZones, StopCondition& stop,
                std::ostream& out, std::ostream& err);

// Why "settings" cannot run with these arguments, or nothing when it can.
[[nodiscard]] std::optional<std::string> SettingsUsageError(const CliOptions& options);

} // namespace hz70::cli
