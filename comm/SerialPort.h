// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/LineConfig.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace hz70 {

// What a read of the port's error state reports. Reading it also resets it.
struct PortErrorState {
    bool inputOverflow = false; // the driver's input queue overflowed; its contents are unreliable
    bool lineError = false;     // parity, framing or overrun error since the last read
    std::size_t queuedInput = 0;
};

// What the operator needs to know about the device behind the port.
struct PortCondition {
    enum class State {
        Closed,
        Open,
        NoDevice,     // nothing at the name or path
        InUse,        // another program has it
        NoPermission, // the user may not open it
        Lost,         // it was open and went away (an adapter pulled out)
        Failed,       // anything else; `reason` says what
    };
    State state = State::Closed;
    std::string device; // the path tried or in use
    std::string group;  // NoPermission: the group that owns the device
    std::string reason; // Failed: the system's words
};

// How a wait for input ended.
enum class InputWait {
    Ready,    // input has arrived (or the wait was interrupted: look again)
    TimedOut, // nothing arrived in the time given
    Failed,   // the device can deliver nothing any more (it went away, or the port is not open)
};

// The platform operations the serial link needs, one object per device. Every operation returns at
// once except WaitForInput: reads hand back only what has already arrived.
class SerialPort {
public:
    enum PurgeFlag : unsigned {
        TxAbort = 1u << 0,
        RxAbort = 1u << 1,
        TxClear = 1u << 2,
        RxClear = 1u << 3,
    };
    enum class ModemLine { Rts, Dtr };

    virtual ~SerialPort() = default;

    // Opens the device for exclusive use. `name` is "COM1".."COM8" or a device path.
    [[nodiscard]] virtual bool Open(const std::string& name) = 0;
    // Until called with nothing, Open goes to `device` alone (failing while it is missing), wherever the
    // name would lead meanwhile: a pulled-out adapter is awaited under its own path, never replaced by
    // another port the name reaches while it is gone. Where names are the devices, nothing is needed.
    virtual void AwaitDevice(const std::optional<std::string>& device) { (void)device; }
    virtual void Close() = 0;
    [[nodiscard]] virtual bool IsOpen() const = 0;

    // Driver queue sizes; a platform without such queues accepts and ignores them.
    virtual bool SetQueueSizes(std::size_t input, std::size_t output) = 0;
    // Remembers the port's configuration and time-outs as found, for RestoreState at close.
    virtual bool SaveState() = 0;
    virtual bool RestoreState() = 0;
    // Makes reads return at once with whatever has arrived, and writes wait for nothing.
    virtual bool SetImmediateReads() = 0;
    // Applies a line configuration; false when the driver refuses it.
    [[nodiscard]] virtual bool Apply(const LineConfig& config) = 0;
    virtual bool Purge(unsigned flags) = 0;
    virtual bool ClearModemLine(ModemLine line) = 0;
    // Reads and resets the error state; false when the state cannot be read.
    [[nodiscard]] virtual bool ReadErrorState(PortErrorState& state) = 0;
    virtual void ClearBreak() = 0;
    // Both return the number of bytes moved, or -1 on failure.
    [[nodiscard]] virtual int Read(std::uint8_t* buffer, std::size_t size) = 0;
    [[nodiscard]] virtual int Write(const std::uint8_t* data, std::size_t size) = 0;
    // Sleeps in the kernel until input arrives or `milliseconds` pass, whichever is first.
    [[nodiscard]] virtual InputWait WaitForInput(std::uint32_t milliseconds) = 0;

    [[nodiscard]] virtual PortCondition Condition() const = 0;
};

} // namespace hz70
