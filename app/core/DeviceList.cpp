// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/DeviceList.h"

namespace hz70 {
namespace {

// A hand-edited list may hold any number; one that is no Modbus address must not be cut down to 16 bits
// and land on some other controller. Address 0 is refused by every exchange.
std::int16_t RecordAddress(int address) {
    return address >= 1 && address <= 247 ? static_cast<std::int16_t>(address) : 0;
}

} // namespace

void RebuildDeviceList(DeviceList& devices, const ZoneList& zones, TTrans& trans, PollingState& polling,
                       const AttachProgress& beforeAttach) {
    devices.clear();
    const int count = zones.slotsInUse();
    for (int slot = 0; slot < count; ++slot) {
        if (beforeAttach) {
            beforeAttach(slot, count);
        }
        auto entry = std::make_unique<DeviceEntry>();
        TRegulator& record = InitRegulator(entry->record);
        record.address = RecordAddress(zones.DevAddr[static_cast<std::size_t>(slot)]);
        record.zoneNumber = static_cast<std::int16_t>(slot + 1);
        record.name = zones.DevName[static_cast<std::size_t>(slot)];
        (void)Attach(record, trans, polling);
        record.commError = 1;
        entry->FailureReported = true;
        devices.push_back(std::move(entry));
    }
    polling.PollingEnabled = true;
}

} // namespace hz70
