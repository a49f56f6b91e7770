// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/Publisher.h"

#include "publish/Connection.h"

namespace hz70::publish {

Publisher::Publisher(BrokerSettings settings)
    : connection_(std::make_unique<Connection>(std::move(settings))) {}

Publisher::~Publisher() = default;

void Publisher::PublishTick(const PollTickResult& tick, std::chrono::system_clock::time_point when) {
    (void)tick;
    (void)when;
}

void Publisher::PublishSettings(const TRegulator& zone) {
    (void)zone;
}

BrokerStatus Publisher::status() const {
    return connection_->status();
}

} // namespace hz70::publish
