// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "comm/ModbusFraming.h"

#include <cstdint>

namespace hz70 {

// What an exchange came to. The numbers are the ones the operator sees and the records keep. Any other
// value is the function code of a valid reply, passed up as received: 0x80 + function for an exception.
enum class ExchangeResult : int {
    kPortNotOpen = -2, // nothing was sent: the port cannot be opened, or an earlier open failed
    kRefused = -1,     // refused before sending: address 0 for a read, an empty or too long payload
    kNoReply = 2,      // no valid reply in time, or one that does not answer the request
    kReadOk = 3,
    kWriteOk = 6,
    kSlaveIdOk = 17,
    kBusy = 25, // the polled read is in progress, or the bus pause before it is not over
};

// The number an exchange's result is shown and stored as.
[[nodiscard]] constexpr int ToInt(ExchangeResult result) {
    return static_cast<int>(result);
}

// A valid reply's function code as the result of its exchange.
[[nodiscard]] constexpr ExchangeResult ReplyResult(std::uint8_t function) {
    return static_cast<ExchangeResult>(function);
}

// The result of a slave's exception reply to `function`.
[[nodiscard]] constexpr ExchangeResult ExceptionReplyTo(ModbusFunction function) {
    return ReplyResult(static_cast<std::uint8_t>(kExceptionFlag | function));
}

// True for a slave's exception reply, whose exception code is the reply's next byte.
[[nodiscard]] constexpr bool IsExceptionReply(ExchangeResult result) {
    return ToInt(result) >= kExceptionFlag && ToInt(result) <= 0xFF;
}

// Where the link's port stands: closed (at start and after Close), the last open attempt failed, or open
// on a port index. Shown and compared as -100, -1 and the index.
class PortState {
public:
    [[nodiscard]] static constexpr PortState Closed() { return PortState(kClosedNumber); }
    [[nodiscard]] static constexpr PortState OpenFailed() { return PortState(kOpenFailedNumber); }
    [[nodiscard]] static constexpr PortState OpenOn(int portIndex) { return PortState(portIndex); }

    [[nodiscard]] constexpr bool isOpen() const { return number_ >= 0; }
    [[nodiscard]] constexpr bool isClosed() const { return number_ == kClosedNumber; }
    [[nodiscard]] constexpr bool openFailed() const { return number_ == kOpenFailedNumber; }
    // The open port's index; only meaningful while isOpen().
    [[nodiscard]] constexpr int portIndex() const { return number_; }

    friend constexpr bool operator==(PortState, PortState) = default;
    friend constexpr int ToInt(PortState state) { return state.number_; }

private:
    static constexpr int kClosedNumber = -100;
    static constexpr int kOpenFailedNumber = -1;

    explicit constexpr PortState(int number) : number_(number) {}

    int number_;
};

} // namespace hz70
