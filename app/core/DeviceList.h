// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/PollingState.h"
#include "model/Slohz70.h"
#include "model/ZoneList.h"

#include <functional>
#include <memory>
#include <vector>

namespace hz70 {

// One configured zone: its controller record and the poll cycle's mark for it. Views keep pointers to
// `record`, which stays put for the life of the entry.
struct DeviceEntry {
    TRegulator record;
    // 1 = the operator was already asked about the zone's current run of failures, or the zone has not
    // answered since the list was built.
    bool FailureReported = true;
};

// The records of the configured zones, in slot order.
using DeviceList = std::vector<std::unique_ptr<DeviceEntry>>;

// Told before each zone's identification: the zone's slot and the number of zones being built.
using AttachProgress = std::function<void(int slot, int count)>;

// Replaces the list with one attached record per configured zone: blocking, one Report Slave ID per
// zone plus the settings of each HZ70 found. Every record starts with commError set, and polling is
// enabled afterwards. The caller starts its poll cycle again at the first zone.
void RebuildDeviceList(DeviceList& devices, const ZoneList& zones, TTrans& trans, PollingState& polling,
                       const AttachProgress& beforeAttach = {});

} // namespace hz70
