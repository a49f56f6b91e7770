// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/PortReconnect.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"
#include "publish/Publisher.h"

#include <string>

namespace hz70 {

// The main window's status line about the link: which device the port leads to and whether it is open,
// missing, taken, forbidden or lost, and how it will be opened again. `portState` is the link's;
// `portIndex` the port it opens next; `reconnect` what the program itself does about the port and
// `awaitedDevice` the device it waits for (empty: unknown).
[[nodiscard]] std::string LinkStatusText(int portIndex, PortState portState, const PortCondition& condition,
                                         ReconnectState reconnect = ReconnectState::Idle,
                                         const std::string& awaitedDevice = {});

// What the status line says once when the settings' reply time-out is beyond what the link waits:
// the value given and the one used. Empty when the time-out is used as given or from the baud table.
[[nodiscard]] std::string CappedTimeoutText(const TTransSettings& settings);

// The status line about the MQTT broker: connected to which, or why not and that it tries again with
// the zone states waiting meanwhile; and those lost when too many waited.
[[nodiscard]] std::string BrokerStatusText(const publish::BrokerStatus& status);

} // namespace hz70
