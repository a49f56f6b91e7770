// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/WinSerialPort.h"

#include "comm/PortNames.h"
#include "comm/RtsTransmitter.h"

#include <algorithm>
#include <climits>
#include <memory>
#include <utility>
#include <windows.h>

namespace hz70 {
namespace {

constexpr const char* kInUse = "in use by another program";

// A read returns at once with whatever has arrived; a write waits for nothing.
constexpr COMMTIMEOUTS kImmediateReads{MAXDWORD, 0, 0, 0, 0};

// A read returns as soon as one byte has arrived, or with nothing after `milliseconds` (1 .. MAXDWORD-1).
constexpr COMMTIMEOUTS FirstByteWithin(DWORD milliseconds) {
    return {MAXDWORD, MAXDWORD, milliseconds, 0, 0};
}

std::string SystemText(DWORD error) {
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                              FORMAT_MESSAGE_IGNORE_INSERTS,
                                          nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string result = length > 0 ? std::string(text, length) : "system error " + std::to_string(error);
    ::LocalFree(text);
    while (!result.empty() && (result.back() == '\n' || result.back() == '\r' || result.back() == '.')) {
        result.pop_back();
    }
    return result;
}

// What an operator should be told about a failed CreateFile. Windows reports a port that another
// program holds as "access denied".
PortCondition::State OpenFailure(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return PortCondition::State::NoDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortCondition::State::InUse;
    default:
        return PortCondition::State::Failed;
    }
}

// How an open port's driver answers once its device has been pulled out.
bool DeviceGone(DWORD error) {
    return error == ERROR_BAD_COMMAND || error == ERROR_GEN_FAILURE || error == ERROR_ACCESS_DENIED ||
           error == ERROR_DEVICE_NOT_CONNECTED || error == ERROR_DEVICE_REMOVED;
}

// What a driver (or Wine on a pseudo-terminal) answers to a modem-line operation it does not have.
bool NotOffered(DWORD error) {
    return error == ERROR_INVALID_PARAMETER || error == ERROR_NOT_SUPPORTED ||
           error == ERROR_INVALID_FUNCTION;
}

// With abort-on-error set, the driver fails transfers after a line error until the error state is read;
// that is no failure of the device.
bool AbortedByLineError(DWORD error) {
    return error == ERROR_OPERATION_ABORTED;
}

// The configuration text BuildCommDCBA takes: "9600,E,7,1".
std::string DcbText(const LineConfig& config) {
    return std::to_string(config.baudRate) + "," + config.parity + "," + std::to_string(config.dataBits) +
           "," + std::to_string(config.stopBits);
}

// Sets or clears a modem line; a line the device does not offer counts as done.
bool Escape(HANDLE handle, DWORD function) {
    return ::EscapeCommFunction(handle, function) != 0 || NotOffered(::GetLastError());
}

// Writes everything, or returns the bytes that went before a failure (-1 when none did); after a failure
// GetLastError tells why.
int WriteAll(HANDLE handle, const std::uint8_t* data, std::size_t size) {
    DWORD written = 0;
    const auto count = static_cast<DWORD>(std::min<std::size_t>(size, INT_MAX));
    if (::WriteFile(handle, data, count, &written, nullptr) == 0) {
        return written > 0 ? static_cast<int>(written) : -1;
    }
    return static_cast<int>(written);
}

// The handle's side of a transmission with RTS raised by hand.
class HandleRtsLine final : public RtsLine {
public:
    explicit HandleRtsLine(HANDLE handle) : handle_(handle) {}

    bool RaiseRts() override { return Escape(handle_, SETRTS); }
    int Write(const std::uint8_t* data, std::size_t size) override { return WriteAll(handle_, data, size); }
    void WaitUntilSent() override { ::FlushFileBuffers(handle_); }
    void DiscardOutput() override { ::PurgeComm(handle_, PURGE_TXABORT | PURGE_TXCLEAR); }
    // Keeps the last error: after a failed write it still tells why the write failed.
    void LowerRts() override {
        const DWORD writeError = ::GetLastError();
        Escape(handle_, CLRRTS);
        ::SetLastError(writeError);
    }

private:
    HANDLE handle_;
};

// RTS raised by hand, for as long as the port is open in that mode.
struct ManualRts {
    explicit ManualRts(HANDLE handle) : line(handle) {}

    HandleRtsLine line;
    RtsTransmitter transmitter{line};
};

DWORD PurgeFlags(unsigned flags) {
    DWORD result = 0;
    for (const auto& [ours, theirs] :
         {std::pair{SerialPort::TxAbort, PURGE_TXABORT}, std::pair{SerialPort::RxAbort, PURGE_RXABORT},
          std::pair{SerialPort::TxClear, PURGE_TXCLEAR}, std::pair{SerialPort::RxClear, PURGE_RXCLEAR}}) {
        if ((flags & ours) != 0) {
            result |= static_cast<DWORD>(theirs);
        }
    }
    return result;
}

} // namespace

struct WinSerialPort::State {
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::string devicePath;
    std::string lastError;
    PortCondition condition;
    std::optional<COMMTIMEOUTS> savedTimeouts;
    std::optional<DCB> savedDcb;
    // Set while Write raises RTS itself: the driver refused to do it while sending.
    std::unique_ptr<ManualRts> manualRts;
    LineConfig config; // as last applied
    // A driver that refused to raise RTS itself is not asked again until the port is reopened: a refused
    // configuration can be half applied (Wine takes the character format, and a pseudo-terminal under it
    // then refuses the same format a second time).
    bool rtsToggleRefused = false;
    // A synchronous handle has no bounded wait for input other than a read with a time-out, which takes
    // the first byte from the driver; it is kept here, counted as queued and handed out first.
    std::optional<std::uint8_t> earlyByte;

    [[nodiscard]] bool IsOpen() const { return handle != INVALID_HANDLE_VALUE; }

    bool Fail(std::string reason) {
        lastError = std::move(reason);
        return false;
    }

    bool FailToOpen(PortCondition::State state, DWORD error) {
        condition = PortCondition{state, devicePath, {}, {}};
        if (state == PortCondition::State::Failed) {
            condition.reason = SystemText(error);
        }
        return Fail(devicePath + ": " + (state == PortCondition::State::InUse ? kInUse : SystemText(error)));
    }

    void NoteFailure(DWORD error) {
        if (IsOpen() && DeviceGone(error)) {
            condition.state = PortCondition::State::Lost;
        }
    }

    void ForgetDevice() {
        handle = INVALID_HANDLE_VALUE;
        savedTimeouts.reset();
        savedDcb.reset();
        manualRts.reset();
        rtsToggleRefused = false;
        earlyByte.reset();
    }

    // Applies `dcb` with RTS raised by the driver while sending; where the driver refuses that, with RTS
    // low and raised by Write.
    bool ApplyWithRtsWhileSending(DCB dcb) {
        if (!rtsToggleRefused) {
            dcb.fRtsControl = RTS_CONTROL_TOGGLE;
            if (::SetCommState(handle, &dcb) != 0) {
                return true;
            }
            rtsToggleRefused = true;
        }
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        if (::SetCommState(handle, &dcb) == 0) {
            return false;
        }
        manualRts = std::make_unique<ManualRts>(handle);
        return true;
    }

    // A synchronous handle takes one call at a time, so while the transmitter's thread waits for a block
    // to leave, every other call on it would wait too: reads report nothing new meanwhile, and whatever
    // else uses the handle waits here until the block is out and RTS is down.
    [[nodiscard]] bool Transmitting() const { return manualRts && manualRts->transmitter.Sending(); }
    void AwaitTransmission() const {
        if (manualRts) {
            manualRts->transmitter.AwaitIdle();
        }
    }
};

WinSerialPort::WinSerialPort(std::optional<std::string> fixedDevice)
    : fixedDevice_(std::move(fixedDevice)), state_(std::make_unique<State>()) {}

WinSerialPort::~WinSerialPort() {
    Close();
}

bool WinSerialPort::Open(const std::string& name) {
    Close();
    State& s = *state_;
    s.devicePath = WindowsDeviceName(fixedDevice_ ? *fixedDevice_ : name);
    const HANDLE handle = ::CreateFileA(s.devicePath.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                        OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD error = ::GetLastError();
        return s.FailToOpen(OpenFailure(error), error);
    }
    DCB probe{};
    probe.DCBlength = sizeof probe;
    if (::GetCommState(handle, &probe) == 0) {
        ::CloseHandle(handle);
        s.condition = PortCondition{PortCondition::State::Failed, s.devicePath, {}, "not a serial port"};
        return s.Fail(s.devicePath + ": not a serial port");
    }
    s.handle = handle;
    s.lastError.clear();
    s.condition = PortCondition{PortCondition::State::Open, s.devicePath, {}, {}};
    return true;
}

void WinSerialPort::Close() {
    State& s = *state_;
    if (!s.IsOpen()) {
        return;
    }
    s.manualRts.reset(); // ends a pending transmission before its handle goes
    ::CloseHandle(s.handle);
    s.ForgetDevice();
    s.condition = PortCondition{PortCondition::State::Closed, s.devicePath, {}, {}};
}

bool WinSerialPort::IsOpen() const {
    return state_->IsOpen();
}

bool WinSerialPort::SetQueueSizes(std::size_t input, std::size_t output) {
    if (!IsOpen()) {
        return false;
    }
    state_->AwaitTransmission();
    return ::SetupComm(state_->handle, static_cast<DWORD>(input), static_cast<DWORD>(output)) != 0;
}

bool WinSerialPort::SaveState() {
    State& s = *state_;
    COMMTIMEOUTS timeouts{};
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!IsOpen()) {
        return false;
    }
    s.AwaitTransmission();
    if (::GetCommTimeouts(s.handle, &timeouts) == 0 || ::GetCommState(s.handle, &dcb) == 0) {
        return false;
    }
    s.savedTimeouts = timeouts;
    s.savedDcb = dcb;
    return true;
}

bool WinSerialPort::RestoreState() {
    State& s = *state_;
    if (!IsOpen() || !s.savedTimeouts || !s.savedDcb) {
        return false;
    }
    s.AwaitTransmission();
    const bool timeoutsRestored = ::SetCommTimeouts(s.handle, &*s.savedTimeouts) != 0;
    return ::SetCommState(s.handle, &*s.savedDcb) != 0 && timeoutsRestored;
}

bool WinSerialPort::SetImmediateReads() {
    if (!IsOpen()) {
        return false;
    }
    state_->AwaitTransmission();
    COMMTIMEOUTS timeouts = kImmediateReads;
    return ::SetCommTimeouts(state_->handle, &timeouts) != 0;
}

bool WinSerialPort::Apply(const LineConfig& config) {
    State& s = *state_;
    if (!IsOpen()) {
        return s.Fail("port not open");
    }
    s.AwaitTransmission();
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (::GetCommState(s.handle, &dcb) == 0) {
        const DWORD error = ::GetLastError();
        s.NoteFailure(error);
        return s.Fail(s.devicePath + ": " + SystemText(error));
    }
    const std::string text = DcbText(config);
    if (::BuildCommDCBA(text.c_str(), &dcb) == 0) {
        return s.Fail(s.devicePath + ": line configuration " + text + " is not available");
    }
    dcb.BaudRate = static_cast<DWORD>(config.baudRate);
    dcb.fBinary = TRUE;
    // A line error stops transfers until the error state is read, so a damaged frame is never taken
    // for part of the next one.
    dcb.fAbortOnError = TRUE;
    s.manualRts.reset();
    s.config = config;
    if (config.rtsWhileSending) {
        if (s.ApplyWithRtsWhileSending(dcb)) {
            return true;
        }
    } else {
        dcb.fRtsControl = RTS_CONTROL_DISABLE;
        if (::SetCommState(s.handle, &dcb) != 0) {
            return true;
        }
    }
    return s.Fail(s.devicePath + ": the driver refused " + text + ": " + SystemText(::GetLastError()));
}

bool WinSerialPort::Purge(unsigned flags) {
    State& s = *state_;
    if (!IsOpen()) {
        return false;
    }
    // Purging the output ends a block still being sent; input that is purged must not be followed by
    // the echo of a block still on its way.
    if ((flags & (TxAbort | TxClear)) != 0 && s.manualRts) {
        s.manualRts->transmitter.Abort();
    }
    s.AwaitTransmission();
    if ((flags & (RxAbort | RxClear)) != 0) {
        s.earlyByte.reset();
    }
    const DWORD purge = PurgeFlags(flags);
    return purge == 0 || ::PurgeComm(s.handle, purge) != 0;
}

bool WinSerialPort::ClearModemLine(ModemLine line) {
    if (!IsOpen()) {
        return false;
    }
    state_->AwaitTransmission();
    return Escape(state_->handle, line == ModemLine::Rts ? CLRRTS : CLRDTR);
}

bool WinSerialPort::ReadErrorState(PortErrorState& state) {
    State& s = *state_;
    DWORD errors = 0;
    COMSTAT status{};
    if (!IsOpen()) {
        return false;
    }
    if (s.Transmitting()) {
        state = PortErrorState{};
        state.queuedInput = s.earlyByte ? 1u : 0u;
        return true;
    }
    if (::ClearCommError(s.handle, &errors, &status) == 0) {
        s.NoteFailure(::GetLastError());
        return false;
    }
    state = PortErrorState{};
    state.inputOverflow = (errors & CE_RXOVER) != 0;
    state.lineError = (errors & (CE_FRAME | CE_RXPARITY | CE_OVERRUN | CE_BREAK)) != 0;
    state.queuedInput = status.cbInQue + (s.earlyByte ? 1u : 0u);
    return true;
}

void WinSerialPort::ClearBreak() {
    if (IsOpen()) {
        state_->AwaitTransmission();
        ::ClearCommBreak(state_->handle);
    }
}

int WinSerialPort::Read(std::uint8_t* buffer, std::size_t size) {
    State& s = *state_;
    if (!IsOpen()) {
        return -1;
    }
    if (size == 0) {
        return 0;
    }
    std::size_t taken = 0;
    if (s.earlyByte) {
        buffer[taken++] = *s.earlyByte;
        s.earlyByte.reset();
    }
    DWORD got = 0;
    const auto wanted =
        s.Transmitting() ? DWORD{0} : static_cast<DWORD>(std::min<std::size_t>(size - taken, INT_MAX - 1));
    if (wanted > 0 && ::ReadFile(s.handle, buffer + taken, wanted, &got, nullptr) == 0) {
        const DWORD error = ::GetLastError();
        if (taken > 0 || AbortedByLineError(error)) {
            return static_cast<int>(taken);
        }
        s.NoteFailure(error);
        return -1;
    }
    return static_cast<int>(taken + got);
}

int WinSerialPort::Write(const std::uint8_t* data, std::size_t size) {
    State& s = *state_;
    if (!IsOpen()) {
        return -1;
    }
    const std::size_t count = std::min<std::size_t>(size, INT_MAX);
    const int written = s.manualRts ? s.manualRts->transmitter.Send(data, count, DrainBound(s.config, count))
                                    : WriteAll(s.handle, data, count);
    if (written < static_cast<int>(count)) {
        s.NoteFailure(::GetLastError());
    }
    return written;
}

InputWait WinSerialPort::WaitForInput(std::uint32_t milliseconds) {
    State& s = *state_;
    if (!IsOpen()) {
        return InputWait::Failed;
    }
    if (s.earlyByte) {
        return InputWait::Ready;
    }
    s.AwaitTransmission();
    COMMTIMEOUTS wait = FirstByteWithin(std::clamp<DWORD>(milliseconds, 1, MAXDWORD - 1));
    if (::SetCommTimeouts(s.handle, &wait) == 0) {
        s.NoteFailure(::GetLastError());
        return InputWait::Failed;
    }
    std::uint8_t byte = 0;
    DWORD got = 0;
    const bool read = ::ReadFile(s.handle, &byte, 1, &got, nullptr) != 0;
    const DWORD error = ::GetLastError();
    SetImmediateReads();
    if (!read) {
        // Look again: reading the error state ends the abort.
        if (AbortedByLineError(error)) {
            return InputWait::Ready;
        }
        s.NoteFailure(error);
        return InputWait::Failed;
    }
    if (got == 0) {
        return InputWait::TimedOut;
    }
    s.earlyByte = byte;
    return InputWait::Ready;
}

PortCondition WinSerialPort::Condition() const {
    return state_->condition;
}

const std::string& WinSerialPort::devicePath() const {
    return state_->devicePath;
}

const std::string& WinSerialPort::lastError() const {
    return state_->lastError;
}

} // namespace hz70
