// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <ctime>

namespace hz70 {

// The local calendar time of `time`, safe to call from any thread (std::localtime shares one result).
[[nodiscard]] inline std::tm LocalTime(std::time_t time) {
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &time);
#else
    localtime_r(&time, &local);
#endif
    return local;
}

// The same time in UTC, as thread-safe.
[[nodiscard]] inline std::tm UtcTime(std::time_t time) {
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &time);
#else
    gmtime_r(&time, &utc);
#endif
    return utc;
}

} // namespace hz70
