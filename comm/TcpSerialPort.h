// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/SerialPort.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace hz70 {

// Where a serial device server (an Ethernet converter) listens: "tcp:HOST:PORT", an IPv6 address in
// brackets ("tcp:[fe80::1]:4001").
struct TcpEndpoint {
    std::string host;
    std::uint16_t port = 0;
};

// True for a name that asks for a serial device server ("tcp:" in any letter case), well formed or not.
[[nodiscard]] bool IsTcpPortName(std::string_view name);
// The endpoint of a "tcp:" name, or why the name is not one.
[[nodiscard]] std::variant<TcpEndpoint, std::string> ParseTcpPortName(std::string_view name);

// SerialPort on a raw TCP connection to a serial device server, which passes the bytes (RTU or ASCII)
// to its line unchanged. The converter owns the line: its rate, character format, RS-485 direction
// and queues are set in the converter itself, so Apply, SetQueueSizes, SaveState, RestoreState, the
// modem lines and break are accepted and do nothing. Open connects within kConnectWait. A converter
// that cannot be reached for now (a name that does not resolve, a connection refused, timed out or
// without a route) is NoDevice, as a missing adapter is, so that the link waits for it; `reason` has
// the system's words. The peer closing or resetting the connection makes the port Lost, which the
// link's reconnection mends by opening it again. A host name is looked up by the system's resolver
// first, under the resolver's own time-outs; a converter given by its address waits on no name server.
class TcpSerialPort final : public SerialPort {
public:
    static constexpr std::uint32_t kConnectWait = 3000; // ms

    // With `fixedName` set, every Open goes to that "tcp:" name whatever name it is given: this is how
    // a command-line tool points the link's "COMn" at a converter.
    explicit TcpSerialPort(std::optional<std::string> fixedName = std::nullopt);
    ~TcpSerialPort() override;
    TcpSerialPort(const TcpSerialPort&) = delete;
    TcpSerialPort& operator=(const TcpSerialPort&) = delete;

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

    // Why the last Open failed (cleared by a successful Open).
    [[nodiscard]] const std::string& lastError() const;

private:
    struct State;
    std::optional<std::string> fixedName_;
    std::optional<std::string> awaitedDevice_;
    std::unique_ptr<State> state_;
};

} // namespace hz70
