// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/SerialPort.h"

#include <memory>
#include <optional>
#include <string>

namespace hz70 {

// SerialPort on the Windows serial communications interface, all I/O synchronous. "COMn" opens
// "\\.\COMn" (WindowsDeviceName); any other name is opened as it is. A driver that refuses to raise RTS
// by itself while sending (some USB adapters; Wine) gets RTS raised around each write instead, and modem
// lines a device does not offer are skipped quietly. Such a Write returns once the block is queued and
// RTS comes down on a thread of the port's own after the last stop bit; meanwhile reads report nothing
// new, and every other operation waits for that, except purging the output and Close, which end it.
class WinSerialPort final : public SerialPort {
public:
    // With `fixedDevice` set, every Open goes to that device whatever name it is given: this is how a
    // command-line tool points the link's "COMn" at a chosen port.
    explicit WinSerialPort(std::optional<std::string> fixedDevice = std::nullopt);
    ~WinSerialPort() override;
    WinSerialPort(const WinSerialPort&) = delete;
    WinSerialPort& operator=(const WinSerialPort&) = delete;

    [[nodiscard]] bool Open(const std::string& name) override;
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
    // Afterwards reads return at once again, whatever time-outs were set before.
    [[nodiscard]] InputWait WaitForInput(std::uint32_t milliseconds) override;
    [[nodiscard]] PortCondition Condition() const override;

    // The device the last Open used, and why the last Open or Apply failed (cleared by a successful Open).
    [[nodiscard]] const std::string& devicePath() const;
    [[nodiscard]] const std::string& lastError() const;

private:
    struct State;
    std::optional<std::string> fixedDevice_;
    std::unique_ptr<State> state_;
};

} // namespace hz70
