// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <string>

namespace hz70::publish {

// One retained message for the broker.
struct Message {
    std::string topic;
    std::string payload;

    friend bool operator==(const Message&, const Message&) = default;
};

} // namespace hz70::publish
