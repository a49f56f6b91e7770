// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/HeatingZone.h"

#include <cstdint>
#include <span>
#include <vector>

namespace hz70::sim {

inline constexpr std::uint8_t kHz70SlaveId = 0x8E;
inline constexpr std::uint8_t kRunIndicatorOn = 0xFF;
inline constexpr std::uint8_t kExceptionFlag = 0x80;

namespace ExceptionCode {
inline constexpr std::uint8_t IllegalFunction = 1;
inline constexpr std::uint8_t IllegalDataAddress = 2;
inline constexpr std::uint8_t IllegalDataValue = 3;
inline constexpr std::uint8_t ServerDeviceFailure = 4;
} // namespace ExceptionCode

// One slave on the simulated bus. A device whose id is not the HZ70's is a foreign device: it answers
// Report Slave ID with its own id and has none of the HZ70's registers.
struct SlaveDevice {
    std::uint8_t address = 1;
    std::uint8_t slaveId = kHz70SlaveId;
    bool silenced = false;
    HeatingZone zone;
    std::uint8_t refusedWrites = 0; // the exception every write gets and stores nothing; 0 when none

    [[nodiscard]] bool foreign() const { return slaveId != kHz70SlaveId; }
};

// The reply PDU (function code first) to a request PDU sent to `device`:
// - function 3 reads 4000..4016 or 4018..4024 (never across 4017); a count of 0 or above 125 is
//   exception 3, any register outside those blocks exception 2;
// - function 6 writes one of 4000..4016 within its limits; another register is exception 2, a value
//   outside the limits exception 3; the reply echoes the request. A device told to refuse writes answers
//   each with its exception instead and stores nothing;
// - function 17 answers byte count, slave id, run indicator 0xFF;
// - any other function is exception 1. A request of the wrong length for its function is exception 3.
[[nodiscard]] std::vector<std::uint8_t> Answer(SlaveDevice& device, std::span<const std::uint8_t> request);

// Carries out a request sent to address 0 on `device`. Only writes act on a broadcast; none is answered.
void ApplyBroadcast(SlaveDevice& device, std::span<const std::uint8_t> request);

} // namespace hz70::sim
