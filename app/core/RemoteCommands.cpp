// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/RemoteCommands.h"

namespace hz70 {

class CommandAudit {};

struct RemoteCommands::Accepted {
    CommandReport report;
};

RemoteCommands::RemoteCommands(DeviceList& devices, TTrans& trans, PollingState& polling, Clock& clock)
    : devices_(devices), trans_(trans), polling_(polling), clock_(clock) {}

RemoteCommands::~RemoteCommands() = default;

std::string RemoteCommands::StartAudit(const std::filesystem::path&) {
    return {};
}

std::vector<CommandReport> RemoteCommands::Submit(std::vector<publish::IncomingCommand>) {
    return {};
}

std::optional<CommandReport> RemoteCommands::RunNext(const PollTickResult&) {
    static_cast<void>(devices_);
    static_cast<void>(trans_);
    static_cast<void>(polling_);
    static_cast<void>(clock_);
    return std::nullopt;
}

} // namespace hz70
