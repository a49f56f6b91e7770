// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/ModbusSlave.h"

#include <optional>

namespace hz70::sim {

namespace {

constexpr std::uint8_t kReadHoldingRegisters = 3;
constexpr std::uint8_t kWriteSingleRegister = 6;
constexpr std::uint8_t kReportSlaveId = 17;
constexpr int kMaxReadCount = 125;
constexpr std::size_t kRegisterRequestSize = 5; // function, register, count or value

std::uint16_t WordAt(std::span<const std::uint8_t> pdu, std::size_t offset) {
    return static_cast<std::uint16_t>(pdu[offset] << 8 | pdu[offset + 1]);
}

void PutWord(std::vector<std::uint8_t>& pdu, std::uint16_t word) {
    pdu.push_back(static_cast<std::uint8_t>(word >> 8));
    pdu.push_back(static_cast<std::uint8_t>(word & 0xFF));
}

std::vector<std::uint8_t> Exception(std::uint8_t function, std::uint8_t code) {
    return {static_cast<std::uint8_t>(function | kExceptionFlag), code};
}

bool Within(int first, int last, std::uint16_t low, std::uint16_t high) {
    return first >= low && last <= high;
}

std::uint16_t RegisterWord(const HeatingZone& zone, const std::array<std::int16_t, kMeasuredCount>& measured,
                           std::uint16_t reg) {
    if (const std::optional<Setting> setting = SettingAt(reg)) {
        return zone.settings().word(*setting);
    }
    return static_cast<std::uint16_t>(measured[reg - kFirstMeasuredRegister]);
}

std::vector<std::uint8_t> ReadRegisters(const SlaveDevice& device, std::span<const std::uint8_t> request) {
    if (request.size() != kRegisterRequestSize) {
        return Exception(kReadHoldingRegisters, ExceptionCode::IllegalDataValue);
    }
    const std::uint16_t first = WordAt(request, 1);
    const int count = WordAt(request, 3);
    if (count < 1 || count > kMaxReadCount) {
        return Exception(kReadHoldingRegisters, ExceptionCode::IllegalDataValue);
    }
    const int last = first + count - 1;
    const bool readable = Within(first, last, kFirstSettingRegister, kLastSettingRegister) ||
                          Within(first, last, kFirstMeasuredRegister, kLastMeasuredRegister);
    if (device.foreign() || !readable) {
        return Exception(kReadHoldingRegisters, ExceptionCode::IllegalDataAddress);
    }
    const auto measured = device.zone.measured();
    std::vector<std::uint8_t> reply{kReadHoldingRegisters, static_cast<std::uint8_t>(count * 2)};
    for (int reg = first; reg <= last; ++reg) {
        PutWord(reply, RegisterWord(device.zone, measured, static_cast<std::uint16_t>(reg)));
    }
    return reply;
}

std::vector<std::uint8_t> WriteRegister(SlaveDevice& device, std::span<const std::uint8_t> request) {
    if (device.refusedWrites != 0) {
        return Exception(kWriteSingleRegister, device.refusedWrites);
    }
    if (request.size() != kRegisterRequestSize) {
        return Exception(kWriteSingleRegister, ExceptionCode::IllegalDataValue);
    }
    const std::optional<Setting> setting = SettingAt(WordAt(request, 1));
    if (device.foreign() || !setting) {
        return Exception(kWriteSingleRegister, ExceptionCode::IllegalDataAddress);
    }
    if (!device.zone.write(*setting, WordAt(request, 3))) {
        return Exception(kWriteSingleRegister, ExceptionCode::IllegalDataValue);
    }
    return {request.begin(), request.end()};
}

std::vector<std::uint8_t> ReportSlaveId(const SlaveDevice& device, std::span<const std::uint8_t> request) {
    if (request.size() != 1) {
        return Exception(kReportSlaveId, ExceptionCode::IllegalDataValue);
    }
    return {kReportSlaveId, 2, device.slaveId, kRunIndicatorOn};
}

} // namespace

std::vector<std::uint8_t> Answer(SlaveDevice& device, std::span<const std::uint8_t> request) {
    if (request.empty()) {
        return {};
    }
    switch (request[0]) {
    case kReadHoldingRegisters:
        return ReadRegisters(device, request);
    case kWriteSingleRegister:
        return WriteRegister(device, request);
    case kReportSlaveId:
        return ReportSlaveId(device, request);
    default:
        return Exception(request[0], ExceptionCode::IllegalFunction);
    }
}

void ApplyBroadcast(SlaveDevice& device, std::span<const std::uint8_t> request) {
    if (!request.empty() && request[0] == kWriteSingleRegister) {
        (void)WriteRegister(device, request);
    }
}

} // namespace hz70::sim
