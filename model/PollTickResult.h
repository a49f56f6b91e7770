// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <optional>

namespace hz70 {

// What one poll tick did: the slot it worked on, what became of that zone's exchange, and the zone's
// record as the tick left it. The windows, the recorder and hz70cli poll all take this value instead of
// reaching back into the poll cycle, and may keep it as long as they like.
struct PollTickResult {
    int slot = 0;
    PollOutcome outcome = PollOutcome::kNotPolled;
    // None when the tick found no zone to hand on: polling off, or a slot without a record.
    std::optional<TRegulator> record;

    // Values updated, or cleared after failures: the zone's exchange is over and the cycle moves on.
    [[nodiscard]] bool exchangeEnded() const {
        return record && (outcome == PollOutcome::kUpdated || outcome == PollOutcome::kFailed);
    }
};

} // namespace hz70
