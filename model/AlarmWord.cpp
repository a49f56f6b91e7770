// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/AlarmWord.h"

#include <iterator>

namespace hz70 {

std::string AlarmNames(std::uint16_t alarmWord, char separator) {
    std::string names;
    for (std::size_t bit = 0; bit < std::size(kAlarmNames); ++bit) {
        if ((alarmWord & (1u << bit)) == 0) {
            continue;
        }
        if (!names.empty()) {
            names += separator;
        }
        names += kAlarmNames[bit];
    }
    return names;
}

} // namespace hz70
