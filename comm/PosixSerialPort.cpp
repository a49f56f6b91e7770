// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/PosixSerialPort.h"

#include "comm/PortNames.h"
#include "comm/RtsTransmitter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <system_error>
#include <termios.h>
#include <unistd.h>
#include <utility>
#ifdef __linux__
#include <linux/serial.h>
#endif

namespace hz70 {
namespace {

// How long a write may wait for room in a full output queue before it gives up.
constexpr std::chrono::milliseconds kWriteWait{1000};

constexpr const char* kInUse = "in use by another program";

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

// What an operator should be told about a failed open().
PortCondition::State OpenFailure(int error) {
    switch (error) {
    case ENOENT:
    case ENXIO:
    case ENODEV:
        return PortCondition::State::NoDevice;
    case EBUSY:
        return PortCondition::State::InUse;
    case EACCES:
    case EPERM:
        return PortCondition::State::NoPermission;
    default:
        return PortCondition::State::Failed;
    }
}

// The group that owns a device file ("dialout" on Debian), which a user joins to be allowed to open it.
std::string OwningGroup(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        return {};
    }
    std::array<char, 1024> buffer{};
    group entry{};
    group* found = nullptr;
    if (::getgrgid_r(info.st_gid, &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr) {
        return std::to_string(info.st_gid);
    }
    return found->gr_name;
}

// What a pseudo-terminal (or a driver without the feature) answers to an operation it does not have.
bool NotOffered(int error) {
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP;
}

bool SucceededOrNotOffered(int result) {
    return result == 0 || NotOffered(errno);
}

std::optional<speed_t> SpeedConstant(int rate) {
    static constexpr std::array<std::pair<int, speed_t>, 11> kSpeeds{{
        {110, B110},
        {300, B300},
        {600, B600},
        {1200, B1200},
        {2400, B2400},
        {4800, B4800},
        {9600, B9600},
        {19200, B19200},
        {38400, B38400},
        {57600, B57600},
        {115200, B115200},
    }};
    const auto* found = std::find_if(kSpeeds.begin(), kSpeeds.end(),
                                     [rate](const auto& entry) { return entry.first == rate; });
    return found == kSpeeds.end() ? std::nullopt : std::optional<speed_t>(found->second);
}

std::optional<tcflag_t> CharacterSize(int dataBits) {
    switch (dataBits) {
    case 5:
        return CS5;
    case 6:
        return CS6;
    case 7:
        return CS7;
    case 8:
        return CS8;
    default:
        return std::nullopt;
    }
}

std::optional<tcflag_t> ParityFlags(char parity) {
    switch (parity) {
    case 'N':
        return tcflag_t{0};
    case 'E':
        return tcflag_t{PARENB};
    case 'O':
        return tcflag_t{PARENB | PARODD};
#ifdef CMSPAR
    case 'M':
        return tcflag_t{PARENB | CMSPAR | PARODD};
    case 'S':
        return tcflag_t{PARENB | CMSPAR};
#endif
    default:
        return std::nullopt;
    }
}

tcflag_t ParityMask() {
#ifdef CMSPAR
    return PARENB | PARODD | CMSPAR;
#else
    return PARENB | PARODD;
#endif
}

// No line editing, echo, signals, character translation or software flow control: every byte arrives
// and leaves as it is, and a read hands back at once whatever has arrived.
void MakeRawImmediate(termios& t) {
    t.c_iflag &= ~tcflag_t{IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY};
    t.c_oflag &= ~tcflag_t{OPOST};
    t.c_lflag &= ~tcflag_t{ECHO | ECHONL | ICANON | ISIG | IEXTEN};
    t.c_cc[VMIN] = 0;
    t.c_cc[VTIME] = 0;
}

// Drivers adjust what they cannot do rather than fail; a refused rate shows up as a different one. The
// character format is not compared: a pseudo-terminal, for one, always keeps 8 data bits, no parity.
bool SameRate(const termios& wanted, const termios& actual) {
    return cfgetospeed(&wanted) == cfgetospeed(&actual) && cfgetispeed(&wanted) == cfgetispeed(&actual);
}

bool WaitWritable(int fd, std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) {
        return false;
    }
    pollfd entry{fd, POLLOUT, 0};
    const int ready = ::poll(&entry, 1, static_cast<int>(left.count()));
    return ready > 0 || (ready < 0 && errno == EINTR);
}

// Writes the whole block, waiting a bounded time whenever the output queue is full. Returns the bytes
// written, or -1 when an error came before any byte went out.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
    const auto deadline = std::chrono::steady_clock::now() + kWriteWait;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t written = ::write(fd, data + done, size - done);
        if (written > 0) {
            done += static_cast<std::size_t>(written);
            continue;
        }
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            return done == 0 ? -1 : static_cast<int>(done);
        }
        if (!WaitWritable(fd, deadline)) {
            break;
        }
    }
    return static_cast<int>(done);
}

// The descriptor's side of a transmission with RTS raised by hand. It touches nothing but the device, so
// its drain and lowering may run beside the port's reads.
class DescriptorRtsLine final : public RtsLine {
public:
    explicit DescriptorRtsLine(int fd) : fd_(fd) {}

    bool RaiseRts() override { return SetRts(TIOCMBIS); }
    int Write(const std::uint8_t* data, std::size_t size) override { return WriteAll(fd_, data, size); }
    void WaitUntilSent() override {
        while (::tcdrain(fd_) != 0 && errno == EINTR) {
        }
    }
    void DiscardOutput() override { ::tcflush(fd_, TCOFLUSH); }
    // Keeps errno: after a failed write it still tells why the write failed.
    void LowerRts() override {
        const int writeError = errno;
        SetRts(TIOCMBIC);
        errno = writeError;
    }

private:
    bool SetRts(unsigned long request) const {
        int line = TIOCM_RTS;
        return ::ioctl(fd_, request, &line) == 0;
    }

    int fd_;
};

// RTS raised by hand, for as long as the port is open in that mode.
struct ManualRts {
    explicit ManualRts(int fd) : line(fd) {}

    DescriptorRtsLine line;
    RtsTransmitter transmitter{line};
};

} // namespace

struct PosixSerialPort::State {
    // Error counters as the driver keeps them (cumulative); a change since the last look is an error.
    struct ErrorCounts {
        long long line = 0;     // framing, parity and overrun errors
        long long overflow = 0; // input dropped because the driver's buffer was full
    };

    int fd = -1;
    std::string devicePath;
    std::string lastError;
    PortCondition condition;
    std::optional<termios> savedTermios;
#ifdef TIOCSRS485
    std::optional<serial_rs485> savedRs485;
#endif
    bool kernelRs485 = false;             // the driver raises RTS while sending, switched on by us
    std::unique_ptr<ManualRts> manualRts; // set while Write raises RTS itself
    LineConfig config;                    // as last applied
    bool modemLinesOffered = true;
    std::optional<ErrorCounts> counts;

    bool Fail(std::string reason) {
        lastError = std::move(reason);
        return false;
    }

    // Records why the device could not be opened; `error` is the errno of the failed call.
    bool FailToOpen(PortCondition::State state, int error, std::string reason) {
        condition = PortCondition{state, devicePath, {}, {}};
        if (state == PortCondition::State::NoPermission) {
            condition.group = OwningGroup(devicePath);
        } else if (state == PortCondition::State::Failed) {
            condition.reason = ErrorText(error);
        }
        return Fail(std::move(reason));
    }

    // A device that vanished while open reports EIO (or ENXIO/ENODEV) from then on.
    void NoteFailure(int error) {
        if (fd >= 0 && (error == EIO || error == ENXIO || error == ENODEV)) {
            condition.state = PortCondition::State::Lost;
        }
    }

    void ForgetDevice() {
        fd = -1;
        savedTermios.reset();
#ifdef TIOCSRS485
        savedRs485.reset();
#endif
        kernelRs485 = false;
        manualRts.reset();
        modemLinesOffered = true;
        counts.reset();
    }

    // flock first: TIOCEXCL would stay on the device of whoever holds it if we backed out afterwards.
    // Root passes TIOCEXCL, so the lock is what keeps a second program out.
    bool TakeExclusive() {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            return FailToOpen(PortCondition::State::InUse, EWOULDBLOCK, devicePath + ": " + kInUse);
        }
        if (::ioctl(fd, TIOCEXCL) != 0 && !NotOffered(errno)) {
            return Fail(devicePath + ": " + ErrorText(errno));
        }
        return true;
    }

    std::optional<ErrorCounts> ReadCounts() const {
#ifdef TIOCGICOUNT
        serial_icounter_struct counters{};
        if (::ioctl(fd, TIOCGICOUNT, &counters) == 0) {
            return ErrorCounts{
                static_cast<long long>(counters.frame) + counters.parity + counters.overrun,
                counters.buf_overrun,
            };
        }
#endif
        return std::nullopt;
    }

    bool SetModemLines(bool raise, int lines) {
        if (!modemLinesOffered) {
            return true;
        }
        if (::ioctl(fd, raise ? TIOCMBIS : TIOCMBIC, &lines) == 0) {
            return true;
        }
        modemLinesOffered = !NotOffered(errno);
        return !modemLinesOffered;
    }

    void SaveRs485() {
#ifdef TIOCSRS485
        serial_rs485 rs{};
        if (::ioctl(fd, TIOCGRS485, &rs) == 0) {
            savedRs485 = rs;
        }
#endif
    }

    bool RestoreRs485() {
#ifdef TIOCSRS485
        if (savedRs485) {
            kernelRs485 = false;
            return SucceededOrNotOffered(::ioctl(fd, TIOCSRS485, &*savedRs485));
        }
#endif
        return true;
    }

    // Switches the driver's RTS-on-send mode; false when the driver has it and refused, or the device
    // is gone.
    bool SetKernelRs485([[maybe_unused]] bool on) {
#ifdef TIOCSRS485
        serial_rs485 rs{};
        if (::ioctl(fd, TIOCGRS485, &rs) == 0) {
            const auto flags = static_cast<decltype(rs.flags)>(SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND);
            rs.flags = on ? rs.flags | flags : rs.flags & ~flags;
            if (on) {
                rs.flags &= ~static_cast<decltype(rs.flags)>(SER_RS485_RTS_AFTER_SEND);
            }
            if (::ioctl(fd, TIOCSRS485, &rs) == 0) {
                kernelRs485 = on;
                return true;
            }
        }
        return false;
#else
        errno = EOPNOTSUPP;
        return false;
#endif
    }

    // RTS is raised while sending: by the driver where it can, otherwise by Write.
    bool ConfigureRtsWhileSending(bool wanted) {
        manualRts.reset();
        if (!wanted) {
            return !kernelRs485 || SetKernelRs485(false) || NotOffered(errno);
        }
        if (SetKernelRs485(true)) {
            return true;
        }
        if (!NotOffered(errno)) {
            return Fail(devicePath + ": RS-485 mode: " + ErrorText(errno));
        }
        // A device without modem lines (a pseudo-terminal) has no RTS to raise.
        SetModemLines(false, TIOCM_RTS);
        if (modemLinesOffered) {
            manualRts = std::make_unique<ManualRts>(fd);
        }
        return true;
    }

    // A change of the line waits until a block sent with RTS raised by hand is out and RTS is down.
    void AwaitTransmission() const {
        if (manualRts) {
            manualRts->transmitter.AwaitIdle();
        }
    }
};

PosixSerialPort::PosixSerialPort(std::optional<std::string> fixedDevice)
    : fixedDevice_(std::move(fixedDevice)), state_(std::make_unique<State>()) {}

PosixSerialPort::~PosixSerialPort() {
    Close();
}

void PosixSerialPort::AwaitDevice(const std::optional<std::string>& device) {
    awaitedDevice_ = device;
}

bool PosixSerialPort::Open(const std::string& name) {
    Close();
    State& s = *state_;
    s.devicePath.clear();
    const std::optional<std::string>& only = fixedDevice_ ? fixedDevice_ : awaitedDevice_;
    const auto path = only ? std::optional<std::filesystem::path>(*only) : ResolveComName(name);
    if (!path) {
        s.devicePath = name;
        return s.FailToOpen(PortCondition::State::NoDevice, ENOENT, name + ": no device found");
    }
    s.devicePath = path->string();
    const int fd = ::open(path->c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        // EBUSY: someone holds the device with TIOCEXCL.
        return s.FailToOpen(OpenFailure(error), error,
                            s.devicePath + ": " + (error == EBUSY ? kInUse : ErrorText(error)));
    }
    s.fd = fd;
    if (::isatty(fd) == 0) {
        s.FailToOpen(PortCondition::State::Failed, ENOTTY, s.devicePath + ": not a terminal device");
    } else if (s.TakeExclusive()) {
        s.counts = s.ReadCounts();
        s.lastError.clear();
        s.condition = PortCondition{PortCondition::State::Open, s.devicePath, {}, {}};
        return true;
    }
    ::close(fd);
    s.ForgetDevice();
    return false;
}

void PosixSerialPort::Close() {
    State& s = *state_;
    if (s.fd < 0) {
        return;
    }
    s.manualRts.reset(); // ends a pending transmission before its descriptor goes
    // The exclusive flag belongs to the device, not to our descriptor: hand it back before leaving.
    ::ioctl(s.fd, TIOCNXCL);
    ::close(s.fd); // also releases the lock
    s.ForgetDevice();
    s.condition = PortCondition{PortCondition::State::Closed, s.devicePath, {}, {}};
}

bool PosixSerialPort::IsOpen() const {
    return state_->fd >= 0;
}

bool PosixSerialPort::SetQueueSizes(std::size_t, std::size_t) {
    return IsOpen();
}

bool PosixSerialPort::SaveState() {
    State& s = *state_;
    termios current{};
    if (!IsOpen() || ::tcgetattr(s.fd, &current) != 0) {
        return false;
    }
    s.savedTermios = current;
    s.SaveRs485();
    return true;
}

bool PosixSerialPort::RestoreState() {
    State& s = *state_;
    if (!IsOpen() || !s.savedTermios) {
        return false;
    }
    s.AwaitTransmission();
    const bool rs485Restored = s.RestoreRs485();
    return ::tcsetattr(s.fd, TCSANOW, &*s.savedTermios) == 0 && rs485Restored;
}

bool PosixSerialPort::SetImmediateReads() {
    State& s = *state_;
    termios t{};
    if (!IsOpen() || ::tcgetattr(s.fd, &t) != 0) {
        return false;
    }
    s.AwaitTransmission();
    MakeRawImmediate(t);
    return ::tcsetattr(s.fd, TCSANOW, &t) == 0;
}

bool PosixSerialPort::Apply(const LineConfig& config) {
    State& s = *state_;
    if (!IsOpen()) {
        return s.Fail("port not open");
    }
    s.AwaitTransmission();
    const auto speed = SpeedConstant(config.baudRate);
    const auto size = CharacterSize(config.dataBits);
    const auto parity = ParityFlags(config.parity);
    if (!speed || !size || !parity || (config.stopBits != 1 && config.stopBits != 2)) {
        return s.Fail(s.devicePath + ": line configuration " + std::to_string(config.baudRate) + "," +
                      config.parity + "," + std::to_string(config.dataBits) + "," +
                      std::to_string(config.stopBits) + " is not available");
    }
    termios t{};
    if (::tcgetattr(s.fd, &t) != 0) {
        return s.Fail(s.devicePath + ": " + ErrorText(errno));
    }
    MakeRawImmediate(t);
    t.c_cflag &= ~(CSIZE | CSTOPB | ParityMask() | CRTSCTS);
    t.c_cflag |= *size | *parity | (config.stopBits == 2 ? CSTOPB : 0) | CLOCAL | CREAD;
    // A byte with a parity error reads as NUL, which the frame check then rejects.
    t.c_iflag = *parity != 0 ? (t.c_iflag | INPCK) : (t.c_iflag & ~tcflag_t{INPCK});
    if (::cfsetispeed(&t, *speed) != 0 || ::cfsetospeed(&t, *speed) != 0 ||
        ::tcsetattr(s.fd, TCSANOW, &t) != 0) {
        return s.Fail(s.devicePath + ": " + ErrorText(errno));
    }
    // tcsetattr succeeds when any part was taken.
    termios actual{};
    if (::tcgetattr(s.fd, &actual) != 0 || !SameRate(t, actual)) {
        return s.Fail(s.devicePath + ": the driver refused " + std::to_string(config.baudRate) + " bit/s");
    }
    s.config = config;
    return s.ConfigureRtsWhileSending(config.rtsWhileSending);
}

bool PosixSerialPort::Purge(unsigned flags) {
    State& s = *state_;
    if (!IsOpen()) {
        return false;
    }
    const bool output = (flags & (TxAbort | TxClear)) != 0;
    const bool input = (flags & (RxAbort | RxClear)) != 0;
    if (!output && !input) {
        return true;
    }
    // Purging the output ends a block still being sent; input that is purged must not be followed by
    // the echo of a block still on its way.
    if (output && s.manualRts) {
        s.manualRts->transmitter.Abort();
    }
    s.AwaitTransmission();
    const int queues = output && input ? TCIOFLUSH : (output ? TCOFLUSH : TCIFLUSH);
    return SucceededOrNotOffered(::tcflush(s.fd, queues));
}

bool PosixSerialPort::ClearModemLine(ModemLine line) {
    if (!IsOpen()) {
        return false;
    }
    state_->AwaitTransmission();
    return state_->SetModemLines(false, line == ModemLine::Rts ? TIOCM_RTS : TIOCM_DTR);
}

bool PosixSerialPort::ReadErrorState(PortErrorState& state) {
    State& s = *state_;
    int queued = 0;
    if (!IsOpen()) {
        return false;
    }
    if (::ioctl(s.fd, FIONREAD, &queued) != 0 || queued < 0) {
        s.NoteFailure(errno);
        return false;
    }
    state = PortErrorState{};
    state.queuedInput = static_cast<std::size_t>(queued);
    if (s.counts) {
        if (const auto now = s.ReadCounts()) {
            state.lineError = now->line != s.counts->line;
            state.inputOverflow = now->overflow != s.counts->overflow;
            s.counts = now;
        }
    }
    return true;
}

void PosixSerialPort::ClearBreak() {
    if (IsOpen()) {
        // Refused on devices without break control; nothing to end there.
        ::ioctl(state_->fd, TIOCCBRK);
    }
}

int PosixSerialPort::Read(std::uint8_t* buffer, std::size_t size) {
    if (!IsOpen()) {
        return -1;
    }
    const ssize_t got = ::read(state_->fd, buffer, std::min<std::size_t>(size, INT_MAX));
    if (got >= 0) {
        return static_cast<int>(got);
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
        return 0;
    }
    state_->NoteFailure(errno);
    return -1;
}

int PosixSerialPort::Write(const std::uint8_t* data, std::size_t size) {
    State& s = *state_;
    if (!IsOpen()) {
        return -1;
    }
    const std::size_t count = std::min<std::size_t>(size, INT_MAX);
    const int written = s.manualRts ? s.manualRts->transmitter.Send(data, count, DrainBound(s.config, count))
                                    : WriteAll(s.fd, data, count);
    if (written < 0) {
        s.NoteFailure(errno);
    }
    return written;
}

InputWait PosixSerialPort::WaitForInput(std::uint32_t milliseconds) {
    if (!IsOpen()) {
        return InputWait::Failed;
    }
    pollfd watched{state_->fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(std::min<std::uint32_t>(milliseconds, INT_MAX)));
    if (ready < 0) {
        return errno == EINTR ? InputWait::Ready : InputWait::Failed;
    }
    if (ready == 0) {
        return InputWait::TimedOut;
    }
    // A hang-up or error: the device is gone (a pulled adapter, a closed pty), whatever it still holds.
    if ((watched.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
        state_->NoteFailure(EIO);
        return InputWait::Failed;
    }
    return InputWait::Ready;
}

PortCondition PosixSerialPort::Condition() const {
    return state_->condition;
}

const std::string& PosixSerialPort::devicePath() const {
    return state_->devicePath;
}

const std::string& PosixSerialPort::lastError() const {
    return state_->lastError;
}

} // namespace hz70
