// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Connection.h"

namespace hz70::publish {

Publisher::Connection::Connection(BrokerSettings settings) {
    (void)settings;
}

Publisher::Connection::~Connection() = default;

BrokerStatus Publisher::Connection::status() const {
    return BrokerStatus{BrokerState::Unavailable, {}, {}, 0, 0, 0};
}

} // namespace hz70::publish
