// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/StatusWord.h"

namespace hz70 {

void ApplyTemperatureUnit(TRegulator& record) {
    const bool fahrenheit = WorksInFahrenheit(StatusWord(record));
    record.fahrenheit = fahrenheit ? 1 : 0;
    SetTemperatureUnit(record, fahrenheit ? kFahrenheitUnit : kCelsiusUnit);
}

} // namespace hz70
