// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/Clock.h"
#include "comm/SerialPort.h"
#include "comm/Trans.h"
#include "hz70cli/CliOptions.h"
#include "hz70cli/Interruption.h"
#include "model/ZoneList.h"
#include "publish/BrokerSettings.h"
#include "publish/Publisher.h"

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <variant>

namespace hz70::cli {

// The broker of the command line: the URL's host, port, TLS and user, the TLS files, the password from
// its file and the line's name (by default from the host name and the port). Or why it cannot be used:
// a TLS file cannot be read; the password file cannot be read, holds no password, or others may read it.
[[nodiscard]] std::variant<publish::BrokerSettings, std::string> GatewayBroker(const CliOptions& options);

// Says on standard error how the connection to the broker changed, once per change: connected, or
// retrying and why, and how many zone states a full queue dropped while the broker was away.
class BrokerReport {
public:
    explicit BrokerReport(std::ostream& err) : err_(err) {}
    void Update(const publish::BrokerStatus& status);

private:
    std::ostream& err_;
    std::optional<publish::BrokerState> state_;
    std::string reason_;
    std::uint64_t dropped_ = 0;
};

// Polls the zones as RunPoll does and publishes them to `broker`: every tick, and each HZ70's settings
// (as read at start) at its first update. With --commands, also takes the commands the broker passes on,
// runs them between polls, answers each on the broker and says it on `err`, and logs them to the
// --audit file. Prints the poll's CSV only with --csv. Exits as RunPoll does, with kExitUsage at once
// when the audit file cannot be opened, or with kExitFailed at once when this build has no MQTT client.
int RunGateway(TTrans& trans, SerialPort& port, Clock& clock, const CliOptions& options,
               publish::BrokerSettings broker, const ZoneList& listedZones, StopCondition& stop,
               std::ostream& out, std::ostream& err);

} // namespace hz70::cli
