// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Bus.h"

#include <algorithm>

namespace hz70::sim {

namespace {

std::uint64_t ZoneSeed(std::uint64_t seed, std::uint8_t address) {
    return seed * 0x100000001B3ull + address;
}

} // namespace

PlantParameters VariedPlant(std::uint64_t seed, std::uint8_t address) {
    SimRandom random(ZoneSeed(seed, address) ^ 0x5A5A5A5Aull);
    PlantParameters plant;
    plant.fullPowerRise = 360.0 + 80.0 * random.unit();
    plant.timeConstant = 100.0 + 60.0 * random.unit();
    plant.fullLoadCurrent = 2.5 + 3.5 * random.unit();
    plant.dryLeakage = 0.2 + 0.4 * random.unit();
    return plant;
}

Bus::Bus(const BusSetup& setup) : speed_(setup.speed) {
    std::map<std::uint8_t, std::uint8_t> ids;
    for (const std::uint8_t address : setup.zones) {
        ids[address] = kHz70SlaveId;
    }
    for (const auto& [address, id] : setup.foreign) {
        ids[address] = id;
    }
    for (const auto& [address, id] : ids) {
        devices_.push_back(
            SlaveDevice{address, id, false,
                        HeatingZone(VariedPlant(setup.seed, address), ZoneSeed(setup.seed, address))});
    }
}

SlaveDevice* Bus::find(std::uint8_t address) {
    const auto it = std::find_if(devices_.begin(), devices_.end(),
                                 [address](const SlaveDevice& device) { return device.address == address; });
    return it == devices_.end() ? nullptr : &*it;
}

void Bus::advanceTo(Micros now) {
    if (lastAdvance_ && now > *lastAdvance_) {
        const double seconds = std::chrono::duration<double>(now - *lastAdvance_).count() * speed_;
        for (SlaveDevice& device : devices_) {
            device.zone.advance(seconds);
        }
    }
    if (!lastAdvance_ || now > *lastAdvance_) {
        lastAdvance_ = now;
    }
}

} // namespace hz70::sim
