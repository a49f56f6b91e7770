// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Server.h"

#include "hz70sim/Commands.h"
#include "hz70sim/LineDevice.h"
#include "hz70sim/LinkClaim.h"
#include "hz70sim/RequestLog.h"
#include "hz70sim/SlaveLink.h"
#include "hz70sim/TextParsing.h"

#include <array>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iostream>
#include <poll.h>
#include <sys/signalfd.h>
#include <termios.h>
#include <unistd.h>

namespace hz70::sim {

namespace {

constexpr std::size_t kReadChunk = 4096;
constexpr std::size_t kMaxOutbox = 65536; // a master that stops reading loses replies, as on a real line
// The zones are brought up to date this often even without requests, so that catching up never holds up
// a reply (a day of 247 zones would take seconds).
constexpr Micros kPlantTick{1'000'000};

Micros Now() {
    return std::chrono::duration_cast<Micros>(std::chrono::steady_clock::now().time_since_epoch());
}

// Started with `&` from an interactive shell: standard input is the terminal, owned by the shell's
// foreground job. A read would stop the simulator (SIGTTIN, "Stopped (tty input)").
bool InBackgroundOfTerminal() {
    const pid_t foreground = ::tcgetpgrp(STDIN_FILENO);
    return foreground >= 0 && foreground != ::getpgrp();
}

class EventLoop final : public LineSwitch {
public:
    EventLoop(LineDevice& line, SlaveLink& link, Bus& bus, FaultInjector& faults, SlaveLink::LogSink log)
        : line_(line), link_(link), bus_(bus), commands_(bus, faults, *this), log_(std::move(log)),
          peerPresent_(line.kind() != LineDevice::Kind::Tcp) {}

    // Prints `banner` once SIGINT and SIGTERM are taken: whoever waits for it may stop us cleanly at once.
    int run(const std::string& banner);

    [[nodiscard]] bool plugged() const override { return line_.plugged(); }
    [[nodiscard]] std::optional<std::string> unplug() override;
    [[nodiscard]] std::optional<std::string> plug() override;
    [[nodiscard]] std::optional<std::string> disconnect() override;

private:
    enum Slot { LineSlot, OpenWatchSlot, InputSlot, SignalSlot, SlotCount };

    [[nodiscard]] bool blockSignals();
    [[nodiscard]] timespec timeout(Micros now) const;
    void tickPlants(Micros now);
    [[nodiscard]] bool readLine(Micros now);
    [[nodiscard]] bool lineGone(const char* why);
    void hangUp();
    void takeMaster();
    void dropMaster(const char* why);
    void readCommands();
    void writeOutbox();
    void logLineChange(const char* what) const;

    LineDevice& line_;
    SlaveLink& link_;
    Bus& bus_;
    CommandInterpreter commands_;
    SlaveLink::LogSink log_;
    int signalFd_ = -1;
    bool peerPresent_; // a pseudo-terminal says otherwise at the first poll; TCP once a master connects
    bool inputOpen_ = true;
    bool quit_ = false;
    std::string input_;
    std::vector<std::uint8_t> outbox_;
    Micros nextPlantTick_{0};
};

bool EventLoop::blockSignals() {
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    if (sigprocmask(SIG_BLOCK, &signals, nullptr) != 0) {
        return false;
    }
    std::signal(SIGPIPE, SIG_IGN);
    signalFd_ = signalfd(-1, &signals, SFD_NONBLOCK | SFD_CLOEXEC);
    return signalFd_ >= 0;
}

timespec EventLoop::timeout(Micros now) const {
    const Micros deadline = std::min(link_.nextDeadline().value_or(nextPlantTick_), nextPlantTick_);
    const Micros wait = std::clamp(deadline - now, Micros{0}, kPlantTick);
    return timespec{static_cast<time_t>(wait.count() / 1'000'000),
                    static_cast<long>(wait.count() % 1'000'000) * 1000};
}

int EventLoop::run(const std::string& banner) {
    if (!blockSignals()) {
        std::cerr << "hz70sim: cannot take SIGINT and SIGTERM: " << std::strerror(errno) << '\n';
        return 1;
    }
    std::signal(SIGTTIN, SIG_IGN); // put in the background later, a read fails (EIO) instead of stopping us
    if (InBackgroundOfTerminal()) {
        std::cerr << "hz70sim: running in the background: commands on standard input are off (start it "
                     "with </dev/null, or in a terminal of its own to type commands)\n";
        inputOpen_ = false;
    }
    std::cout << banner << std::endl;
    while (!quit_) {
        std::array<pollfd, SlotCount> fds{};
        fds[LineSlot] = {peerPresent_ ? line_.fd() : -1,
                         static_cast<short>(POLLIN | (outbox_.empty() ? 0 : POLLOUT)), 0};
        fds[OpenWatchSlot] = {line_.openWatchFd(), POLLIN, 0};
        fds[InputSlot] = {inputOpen_ ? STDIN_FILENO : -1, POLLIN, 0};
        fds[SignalSlot] = {signalFd_, POLLIN, 0};
        const timespec wait = timeout(Now());
        if (ppoll(fds.data(), fds.size(), &wait, nullptr) < 0 && errno != EINTR) {
            std::cerr << "hz70sim: poll failed: " << std::strerror(errno) << '\n';
            return 1;
        }
        const Micros now = Now();
        if (fds[SignalSlot].revents != 0) {
            std::cout << "hz70sim: stopped by signal" << std::endl;
            break;
        }
        if (fds[OpenWatchSlot].revents != 0) {
            takeMaster();
        }
        if ((fds[LineSlot].revents & POLLIN) != 0) {
            if (!readLine(now)) {
                return 1;
            }
        } else if ((fds[LineSlot].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
            if (!lineGone("hang-up")) {
                return 1;
            }
        }
        if (fds[InputSlot].revents != 0) {
            readCommands(); // after the line: "unplug" and "plug" change the line's descriptor
        }
        link_.expire(now);
        link_.release(now, outbox_);
        writeOutbox();
        tickPlants(now);
    }
    return 0;
}

// False when a real device fails; a pseudo-terminal whose master went away only waits for the next.
bool EventLoop::readLine(Micros now) {
    std::array<std::uint8_t, kReadChunk> buffer{};
    while (true) {
        const ssize_t count = ::read(line_.fd(), buffer.data(), buffer.size());
        if (count > 0) {
            link_.receive(now, std::span(buffer.data(), static_cast<std::size_t>(count)));
            continue;
        }
        if (count < 0 && (errno == EAGAIN || errno == EINTR)) {
            return true;
        }
        if (count == 0 && line_.kind() == LineDevice::Kind::Serial) {
            return true; // a raw terminal with VMIN = VTIME = 0 says "nothing more for now" this way
        }
        return lineGone(count == 0 ? "end of file" : std::strerror(errno));
    }
}

bool EventLoop::lineGone(const char* why) {
    if (line_.isPseudoTerminal()) {
        hangUp();
        return true;
    }
    if (line_.kind() == LineDevice::Kind::Tcp) {
        dropMaster(why);
        return true;
    }
    std::cerr << "hz70sim: the line failed: " << why << '\n';
    return false;
}

void EventLoop::tickPlants(Micros now) {
    if (now >= nextPlantTick_) {
        bus_.advanceTo(now);
        nextPlantTick_ = now + kPlantTick;
    }
}

void EventLoop::hangUp() {
    peerPresent_ = false;
    outbox_.clear();
}

std::optional<std::string> EventLoop::unplug() {
    if (line_.kind() == LineDevice::Kind::Tcp) {
        return "only --link can be unplugged: over TCP, disconnect drops the master's connection";
    }
    if (!line_.isPseudoTerminal()) {
        return "only --link can be unplugged: a real line's adapter is on the master's side (try "
               "silence all)";
    }
    line_.unplug();
    hangUp();
    logLineChange("unplugged");
    return std::nullopt;
}

std::optional<std::string> EventLoop::plug() {
    std::string error;
    if (!line_.plug(error)) {
        return error;
    }
    peerPresent_ = true; // the first poll tells whether a master has the new one open yet
    logLineChange("plugged");
    return std::nullopt;
}

std::optional<std::string> EventLoop::disconnect() {
    if (line_.kind() != LineDevice::Kind::Tcp) {
        return "only --tcp has a connection to drop (try unplug)";
    }
    if (line_.fd() < 0) {
        return "no master is connected";
    }
    dropMaster("dropped by command");
    return std::nullopt;
}

// A pseudo-terminal's slave side was opened, or a master connected over TCP (in place of the one
// served, whose unsent output goes with it).
void EventLoop::takeMaster() {
    const std::string master = line_.takeMaster();
    if (line_.kind() != LineDevice::Kind::Tcp) {
        peerPresent_ = true;
        return;
    }
    if (master.empty()) {
        return;
    }
    const bool replaced = peerPresent_;
    hangUp();
    peerPresent_ = true;
    std::cerr << "hz70sim: master " << master
              << (replaced ? " connected in place of the one before" : " connected") << std::endl;
    logLineChange("connected");
}

void EventLoop::dropMaster(const char* why) {
    line_.dropMaster();
    hangUp();
    std::cerr << "hz70sim: master disconnected: " << why << std::endl;
    logLineChange("disconnected");
}

// A log line of its own, with no request fields, so that readers of the log see the gap.
void EventLoop::logLineChange(const char* what) const {
    if (log_) {
        log_(FormatLogLine(Now(), {}, what));
    }
}

void EventLoop::readCommands() {
    std::array<char, 1024> buffer{};
    const ssize_t count = ::read(STDIN_FILENO, buffer.data(), buffer.size());
    if (count == 0) {
        inputOpen_ = false; // run on without commands, e.g. started with </dev/null
        return;
    }
    if (count < 0) {
        if (errno != EAGAIN && errno != EINTR) {
            std::cerr << "hz70sim: commands are off: cannot read standard input: " << std::strerror(errno)
                      << '\n';
            inputOpen_ = false;
        }
        return;
    }
    input_.append(buffer.data(), static_cast<std::size_t>(count));
    std::size_t newline = 0;
    while (!quit_ && (newline = input_.find('\n')) != std::string::npos) {
        const std::string line = input_.substr(0, newline);
        input_.erase(0, newline + 1);
        bus_.advanceTo(Now());
        const CommandInterpreter::Reply reply = commands_.execute(line);
        std::cout << reply.text << std::flush;
        quit_ = reply.quit;
    }
}

void EventLoop::writeOutbox() {
    if (!peerPresent_) {
        outbox_.clear();
        return;
    }
    if (outbox_.empty()) {
        return;
    }
    const ssize_t written = ::write(line_.fd(), outbox_.data(), outbox_.size());
    if (written > 0) {
        outbox_.erase(outbox_.begin(), outbox_.begin() + written);
    } else if (written < 0 && errno != EAGAIN && errno != EINTR) {
        outbox_.clear();
    }
    if (outbox_.size() > kMaxOutbox) {
        outbox_.clear();
    }
}

std::string Banner(const SimOptions& options, const LineDevice& line, const LineMode& mode) {
    std::vector<std::uint8_t> zones = options.bus.zones;
    std::string text = "hz70sim: zones " + FormatAddressList(zones);
    for (const auto& [address, id] : options.bus.foreign) {
        text += ", foreign " + std::to_string(address) + "=" + std::to_string(id);
    }
    text += " on " + line.description() + ", mode " + std::to_string(mode.index) + " (" + mode.text() +
            (mode.ascii ? " ASCII" : " RTU") + "), " + std::to_string(options.baud) + " bit/s";
    return text;
}

} // namespace

int RunSimulator(const SimOptions& options) {
    const LineMode mode = *LineModeFromIndex(options.mode);
    std::string error;
    // Declared first, so that the link goes before the claim on it is released.
    std::unique_ptr<LinkClaim> claim;
    if (options.link) {
        claim = LinkClaim::Take(*options.link, error);
        if (!claim) {
            std::cerr << "hz70sim: " << error << '\n';
            return 1;
        }
        if (!claim->leftBehind().empty()) {
            std::cerr << "hz70sim: replacing " << claim->leftBehind() << ", which no running hz70sim owns\n";
        }
    }
    const std::unique_ptr<LineDevice> line =
        options.link      ? LineDevice::CreatePseudoTerminal(*options.link, error)
        : options.tcpPort ? LineDevice::ListenTcp(*options.tcpPort, error)
                          : LineDevice::OpenSerial(*options.device, mode, options.baud, error);
    if (!line) {
        std::cerr << "hz70sim: " << error << '\n';
        return 1;
    }
    std::ofstream logFile;
    if (options.logPath) {
        logFile.open(*options.logPath, std::ios::out | std::ios::trunc);
        if (!logFile) {
            std::cerr << "hz70sim: cannot write the log " << *options.logPath << ": " << std::strerror(errno)
                      << '\n';
            return 1;
        }
    }

    Bus bus(options.bus);
    for (const std::uint8_t address : options.silenced) {
        if (SlaveDevice* device = bus.find(address)) {
            device->silenced = true;
        }
    }
    bus.advanceTo(Now()); // the zones power up now
    FaultInjector faults(options.bus.seed);
    faults.settings() = options.faults;
    SlaveLink::LogSink log;
    if (logFile.is_open()) {
        log = [&logFile](const std::string& entry) { logFile << entry << '\n' << std::flush; };
    }
    SlaveLink link(LinkSetup{mode, options.baud, options.responseDelay}, bus, faults, log);

    EventLoop loop(*line, link, bus, faults, log);
    return loop.run(Banner(options, *line, mode));
}

} // namespace hz70::sim
