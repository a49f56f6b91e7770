// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/TcpSerialPort.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace hz70 {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kPrefix = "tcp:";
// How long a write may wait for room in a full send buffer before it gives up.
constexpr std::chrono::milliseconds kWriteWait{1000};
// A converter that stops answering (cable pulled, power lost) is given up after about 20 s, whether the
// connection is idle (keepalive probes) or holds unacknowledged requests (user time-out): the link then
// reconnects instead of timing out on a dead connection for the kernel's quarter of an hour.
constexpr int kKeepAliveIdle = 10;    // s
constexpr int kKeepAliveInterval = 5; // s
constexpr int kKeepAliveProbes = 2;
constexpr int kUserTimeout = 20000; // ms

std::string ErrorText(int error) {
    return std::generic_category().message(error);
}

bool Temporary(int error) {
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
}

int MillisecondsUntil(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
}

void SetOption(int fd, int level, int name, int value) {
    // A refused option costs only the quicker noticing of a dead converter.
    (void)::setsockopt(fd, level, name, &value, sizeof value);
}

// Requests leave at once rather than wait for more to send, and a converter that went silent is noticed.
void TuneConnection(int fd) {
    SetOption(fd, IPPROTO_TCP, TCP_NODELAY, 1);
    SetOption(fd, SOL_SOCKET, SO_KEEPALIVE, 1);
#ifdef TCP_KEEPIDLE
    SetOption(fd, IPPROTO_TCP, TCP_KEEPIDLE, kKeepAliveIdle);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPINTVL, kKeepAliveInterval);
    SetOption(fd, IPPROTO_TCP, TCP_KEEPCNT, kKeepAliveProbes);
#endif
#ifdef TCP_USER_TIMEOUT
    SetOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, kUserTimeout);
#endif
}

// A connected socket, or the errno of why there is none.
struct Connection {
    int fd = -1;
    int error = 0;
};

Connection Failed(int fd, int error) {
    if (fd >= 0) {
        ::close(fd);
    }
    return {-1, error};
}

// Connects to one address without blocking past `deadline`.
Connection ConnectTo(const addrinfo& address, Clock::time_point deadline) {
    const int fd =
        ::socket(address.ai_family, address.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, address.ai_protocol);
    if (fd < 0) {
        return Failed(fd, errno);
    }
    if (::connect(fd, address.ai_addr, address.ai_addrlen) == 0) {
        return {fd, 0};
    }
    if (errno != EINPROGRESS) {
        return Failed(fd, errno);
    }
    pollfd watched{fd, POLLOUT, 0};
    const int ready = ::poll(&watched, 1, MillisecondsUntil(deadline));
    if (ready <= 0) {
        // EINTR too: a stop asked for by a signal should not wait out the connect.
        return Failed(fd, ready == 0 ? ETIMEDOUT : errno);
    }
    int error = 0;
    socklen_t size = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0) {
        error = errno;
    }
    return error == 0 ? Connection{fd, 0} : Failed(fd, error);
}

// A converter not reached because it is not there for now (switched off, booting, its network down):
// as with a pulled-out adapter, opening again later may find it.
bool ConverterAway(int error) {
    return error == ECONNREFUSED || error == ETIMEDOUT || error == EHOSTUNREACH || error == ENETUNREACH ||
           error == EHOSTDOWN || error == ENETDOWN || error == ECONNRESET;
}

// The resolver's refusals that a later look-up may not repeat (a name server back, a name added).
bool NameNotFound(int status) {
    return status == EAI_NONAME || status == EAI_AGAIN || status == EAI_FAIL
#ifdef EAI_NODATA
           || status == EAI_NODATA
#endif
        ;
}

std::optional<std::uint16_t> PortNumber(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0 || value > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

} // namespace

bool IsTcpPortName(std::string_view name) {
    return name.size() >= kPrefix.size() &&
           std::equal(kPrefix.begin(), kPrefix.end(), name.begin(), [](char wanted, char given) {
               return wanted == std::tolower(static_cast<unsigned char>(given));
           });
}

std::variant<TcpEndpoint, std::string> ParseTcpPortName(std::string_view name) {
    const std::string quoted = std::string(name) + ": ";
    if (!IsTcpPortName(name)) {
        return quoted + "not a converter's name tcp:HOST:PORT";
    }
    const std::string_view rest = name.substr(kPrefix.size());
    const std::size_t colon = rest.rfind(':');
    if (colon == std::string_view::npos) {
        return quoted + "no port; give tcp:HOST:PORT";
    }
    std::string_view host = rest.substr(0, colon);
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    } else if (host.find_first_of(":[]") != std::string_view::npos) {
        return quoted + "an IPv6 address goes in brackets, e.g. tcp:[::1]:PORT";
    }
    if (host.empty()) {
        return quoted + "no host; give tcp:HOST:PORT";
    }
    const auto port = PortNumber(rest.substr(colon + 1));
    if (!port) {
        return quoted + "the port must be a number 1..65535";
    }
    return TcpEndpoint{std::string(host), *port};
}

struct TcpSerialPort::State {
    int fd = -1;
    std::string name; // the "tcp:" name opened or tried
    std::string lastError;
    PortCondition condition;

    bool FailToOpen(PortCondition::State state, std::string reason) {
        condition = PortCondition{state, name, {}, reason};
        lastError = name + ": " + reason;
        return false;
    }

    // Once lost, a connection carries nothing more, even where the system would still take a write.
    [[nodiscard]] bool Lost() const { return condition.state == PortCondition::State::Lost; }

    // The converter closed or reset the connection, or it broke: nothing more can pass on it.
    void Lose(std::string reason) {
        if (fd >= 0) {
            condition = PortCondition{PortCondition::State::Lost, name, {}, std::move(reason)};
        }
    }

    // What a failed call on the connection means: nothing yet (-> true), or the connection is lost.
    bool Survives(int error) {
        if (Temporary(error)) {
            return true;
        }
        Lose(ErrorText(error));
        return false;
    }

    bool Connect(const TcpEndpoint& endpoint) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_NUMERICSERV;
        addrinfo* found = nullptr;
        const std::string service = std::to_string(endpoint.port);
        const int status = ::getaddrinfo(endpoint.host.c_str(), service.c_str(), &hints, &found);
        if (status != 0) {
            const std::string reason = status == EAI_SYSTEM ? ErrorText(errno) : ::gai_strerror(status);
            return FailToOpen(
                NameNotFound(status) ? PortCondition::State::NoDevice : PortCondition::State::Failed, reason);
        }
        // Every address the name has (IPv6 and IPv4) shares the one wait.
        const auto deadline = Clock::now() + std::chrono::milliseconds(kConnectWait);
        Connection connection{-1, EHOSTUNREACH};
        for (const addrinfo* address = found; address != nullptr && connection.fd < 0;
             address = address->ai_next) {
            connection = ConnectTo(*address, deadline);
        }
        ::freeaddrinfo(found);
        if (connection.fd < 0) {
            return FailToOpen(ConverterAway(connection.error) ? PortCondition::State::NoDevice
                                                              : PortCondition::State::Failed,
                              ErrorText(connection.error));
        }
        fd = connection.fd;
        TuneConnection(fd);
        lastError.clear();
        condition = PortCondition{PortCondition::State::Open, name, {}, {}};
        return true;
    }

    // Reads and drops whatever has arrived.
    bool Discard() {
        std::array<std::uint8_t, 4096> chunk{};
        while (true) {
            const ssize_t got = ::recv(fd, chunk.data(), chunk.size(), MSG_DONTWAIT);
            if (got > 0) {
                continue;
            }
            if (got == 0) {
                Lose("the converter closed the connection");
                return false;
            }
            return Survives(errno);
        }
    }

    // Whether the connection goes on (something to read, or nothing yet), or has ended.
    bool StillConnected() {
        std::uint8_t first = 0;
        const ssize_t got = ::recv(fd, &first, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got == 0) {
            Lose("the converter closed the connection");
            return false;
        }
        return got > 0 || Survives(errno);
    }

    // Sends the whole block, waiting a bounded time whenever the send buffer is full. Returns the bytes
    // sent, or -1 when the connection failed before any byte went.
    int SendAll(const std::uint8_t* data, std::size_t size) {
        const auto deadline = Clock::now() + kWriteWait;
        std::size_t done = 0;
        while (done < size) {
            const ssize_t sent = ::send(fd, data + done, size - done, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (sent > 0) {
                done += static_cast<std::size_t>(sent);
                continue;
            }
            const int error = errno;
            if (!Survives(error)) {
                return done == 0 ? -1 : static_cast<int>(done);
            }
            pollfd watched{fd, POLLOUT, 0};
            if (error != EINTR && ::poll(&watched, 1, MillisecondsUntil(deadline)) == 0) {
                break;
            }
        }
        return static_cast<int>(done);
    }
};

TcpSerialPort::TcpSerialPort(std::optional<std::string> fixedName)
    : fixedName_(std::move(fixedName)), state_(std::make_unique<State>()) {}

TcpSerialPort::~TcpSerialPort() {
    Close();
}

void TcpSerialPort::AwaitDevice(const std::optional<std::string>& device) {
    awaitedDevice_ = device;
}

bool TcpSerialPort::Open(const std::string& name) {
    Close();
    State& s = *state_;
    const std::optional<std::string>& only = fixedName_ ? fixedName_ : awaitedDevice_;
    s.name = only ? *only : name;
    const auto endpoint = ParseTcpPortName(s.name);
    if (const auto* refusal = std::get_if<std::string>(&endpoint)) {
        s.condition = PortCondition{PortCondition::State::Failed, s.name, {}, *refusal};
        s.lastError = *refusal;
        return false;
    }
    return s.Connect(std::get<TcpEndpoint>(endpoint));
}

void TcpSerialPort::Close() {
    State& s = *state_;
    if (s.fd < 0) {
        return;
    }
    ::close(s.fd);
    s.fd = -1;
    s.condition = PortCondition{PortCondition::State::Closed, s.name, {}, {}};
}

bool TcpSerialPort::IsOpen() const {
    return state_->fd >= 0;
}

// The converter's own settings hold for its line; what the link asks of a local port does not apply.
bool TcpSerialPort::SetQueueSizes(std::size_t, std::size_t) {
    return IsOpen();
}

bool TcpSerialPort::SaveState() {
    return IsOpen();
}

bool TcpSerialPort::RestoreState() {
    return IsOpen();
}

bool TcpSerialPort::SetImmediateReads() {
    return IsOpen();
}

bool TcpSerialPort::Apply(const LineConfig&) {
    if (!IsOpen()) {
        state_->lastError = "port not open";
        return false;
    }
    return true;
}

bool TcpSerialPort::ClearModemLine(ModemLine) {
    return IsOpen();
}

void TcpSerialPort::ClearBreak() {}

// What has been sent cannot be called back; what has arrived can be dropped.
bool TcpSerialPort::Purge(unsigned flags) {
    if (!IsOpen()) {
        return false;
    }
    return (flags & (RxAbort | RxClear)) == 0 || state_->Discard();
}

bool TcpSerialPort::ReadErrorState(PortErrorState& state) {
    State& s = *state_;
    int queued = 0;
    if (!IsOpen()) {
        return false;
    }
    if (::ioctl(s.fd, FIONREAD, &queued) != 0 || queued < 0) {
        s.Lose(ErrorText(errno));
        return false;
    }
    // The link looks here at every tick while a reply is due, and reads only what is counted: an end
    // of the connection must show here, or the link would wait out its time-out first.
    if (queued == 0 && !s.StillConnected()) {
        return false;
    }
    state = PortErrorState{};
    state.queuedInput = static_cast<std::size_t>(queued);
    return true;
}

int TcpSerialPort::Read(std::uint8_t* buffer, std::size_t size) {
    State& s = *state_;
    if (!IsOpen() || s.Lost()) {
        return -1;
    }
    if (size == 0) {
        return 0;
    }
    const ssize_t got = ::recv(s.fd, buffer, std::min<std::size_t>(size, INT_MAX), MSG_DONTWAIT);
    if (got > 0) {
        return static_cast<int>(got);
    }
    if (got == 0) {
        s.Lose("the converter closed the connection");
        return -1;
    }
    return s.Survives(errno) ? 0 : -1;
}

int TcpSerialPort::Write(const std::uint8_t* data, std::size_t size) {
    if (!IsOpen() || state_->Lost()) {
        return -1;
    }
    return state_->SendAll(data, std::min<std::size_t>(size, INT_MAX));
}

InputWait TcpSerialPort::WaitForInput(std::uint32_t milliseconds) {
    State& s = *state_;
    if (!IsOpen() || s.Lost()) {
        return InputWait::Failed;
    }
    pollfd watched{s.fd, POLLIN, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(std::min<std::uint32_t>(milliseconds, INT_MAX)));
    if (ready < 0) {
        return errno == EINTR ? InputWait::Ready : InputWait::Failed;
    }
    if (ready == 0) {
        return InputWait::TimedOut;
    }
    // A reply the converter sent just before closing is still read; the end shows at the next wait.
    return s.StillConnected() ? InputWait::Ready : InputWait::Failed;
}

PortCondition TcpSerialPort::Condition() const {
    return state_->condition;
}

const std::string& TcpSerialPort::lastError() const {
    return state_->lastError;
}

} // namespace hz70
