// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/CommandMessages.h"

namespace hz70::publish {

std::string ResultTopic(std::string_view) {
    return {};
}

std::string CommandResultJson(const IncomingCommand&, const CommandResult&) {
    return "{}";
}

} // namespace hz70::publish
