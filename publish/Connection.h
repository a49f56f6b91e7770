// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "publish/Publisher.h"

namespace hz70::publish {

// The publisher's link to the broker; one implementation per platform.
class Publisher::Connection {
public:
    explicit Connection(BrokerSettings settings);
    ~Connection();
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    [[nodiscard]] BrokerStatus status() const;
};

} // namespace hz70::publish
