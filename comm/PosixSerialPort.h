// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/SerialPort.h"

#include <memory>
#include <optional>
#include <string>

namespace hz70 {

// SerialPort on a POSIX terminal device (termios). "COM1".."COM8" are resolved with ResolveComName;
// any other name is taken as a device path. Operations the device does not offer (modem lines and
// RS-485 mode on a pseudo-terminal) are skipped quietly. Where the driver has no RS-485 mode and RTS is
// raised by hand, Write returns once the block is queued and RTS comes down on a thread of the port's
// own after the last stop bit; the next operation that changes the line waits for that, except purging
// the output and Close, which end it.
class PosixSerialPort final : public SerialPort {
public:
    // With `fixedDevice` set, every Open goes to that path whatever name it is given: this is how a
    // command-line tool points the link's "COMn" at a chosen device.
    explicit PosixSerialPort(std::optional<std::string> fixedDevice = std::nullopt);
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    [[nodiscard]] bool Open(const std::string& name) override;
    void AwaitDevice(const std::optional<std::string>& device) override;
    void Close() override;
    [[nodiscard]] bool IsOpen() const override;
    bool SetQueueSizes(std::size_t input, std::size_t output) override;
    bool SaveState() override;
    bool RestoreState() override;
    bool SetImmediateReads() override;
    [[nodiscard]] bool Apply(const LineConfig& config) override;
    bool Purge(unsigned flags) override;
    bool ClearModemLine(ModemLine line) override;
    [[nodiscard]] bool ReadErrorState(PortErrorState& state) override;
    void ClearBreak() override;
    [[nodiscard]] int Read(std::uint8_t* buffer, std::size_t size) override;
    [[nodiscard]] int Write(const std::uint8_t* data, std::size_t size) override;
    [[nodiscard]] InputWait WaitForInput(std::uint32_t milliseconds) override;
    [[nodiscard]] PortCondition Condition() const override;

    // The path the last Open used, and why the last Open or Apply failed (cleared by a successful Open).
    [[nodiscard]] const std::string& devicePath() const;
    [[nodiscard]] const std::string& lastError() const;

private:
    struct State;
    std::optional<std::string> fixedDevice_;
    std::optional<std::string> awaitedDevice_;
    std::unique_ptr<State> state_;
};

} // namespace hz70
