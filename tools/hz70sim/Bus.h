// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"
#include "hz70sim/ModbusSlave.h"

#include <cstdint>
#include <map>
#include <optional>
#include <vector>

namespace hz70::sim {

struct BusSetup {
    std::vector<std::uint8_t> zones{1};           // addresses of HZ70 controllers
    std::map<std::uint8_t, std::uint8_t> foreign; // address -> slave id of another kind of device
    std::uint64_t seed = 1;
    double speed = 1.0; // simulated seconds per real second
};

// The slaves on the line, in address order. Each zone gets its own plant, varied a little from the
// seed so that zones do not move in lockstep.
class Bus {
public:
    explicit Bus(const BusSetup& setup);

    [[nodiscard]] SlaveDevice* find(std::uint8_t address);
    [[nodiscard]] std::vector<SlaveDevice>& devices() { return devices_; }
    [[nodiscard]] const std::vector<SlaveDevice>& devices() const { return devices_; }

    // Brings every zone's simulated time up to `now`. The first call only sets the origin.
    void advanceTo(Micros now);

private:
    std::vector<SlaveDevice> devices_;
    double speed_;
    std::optional<Micros> lastAdvance_;
};

// The plant of the zone at `address`, varied from the seed.
[[nodiscard]] PlantParameters VariedPlant(std::uint64_t seed, std::uint8_t address);

} // namespace hz70::sim
