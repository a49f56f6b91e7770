// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/SerialPort.h"

#include <string>

namespace hz70 {

// The main window's status line about the link: which device the port leads to and whether it is open,
// missing, taken, forbidden or lost, and how to try again. `portState` is the link's (-100 closed,
// -1 the open failed, 0..7 open); `portIndex` the port it opens next.
[[nodiscard]] std::string LinkStatusText(int portIndex, int portState, const PortCondition& condition);

} // namespace hz70
