// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <string>

namespace hz70 {

// The columns of a measurement record, as hz70cli poll prints them and the program records them.
inline constexpr const char* kPollCsvHeader =
    "time,zone,address,temperature,setpoint,power,current,leakage,alarm,status,comm_error,alarms";

// One CSV line for a zone whose poll exchange has ended (values updated, or cleared after failures).
// Values without a reading are left empty, and so is the temperature while a sensor alarm is set (the
// word then holds no measurement); `alarms` names the alarms set, separated by spaces. Numbers always
// have a point, whatever the locale.
[[nodiscard]] std::string FormatPollLine(const std::string& time, const TRegulator& zone);

// The local time now as "YYYY-MM-DD hh:mm:ss.mmm".
[[nodiscard]] std::string LocalTimestamp();

} // namespace hz70
