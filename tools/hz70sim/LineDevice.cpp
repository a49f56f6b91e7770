// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/LineDevice.h"

#include <arpa/inet.h>
#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace hz70::sim {

namespace {

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

bool MakeRaw(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

// Masters normally set raw mode themselves; a raw start keeps a careless one from mangling CR LF.
bool PrepareSlaveSide(const std::string& slavePath) {
    const int slave = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (slave < 0) {
        return false;
    }
    const bool ok = MakeRaw(slave);
    ::close(slave);
    return ok;
}

// Points `linkPath` at `target`, replacing an older symbolic link there in one step.
bool PlaceLink(const std::string& target, const std::string& linkPath, std::string& error) {
    struct stat existing {};
    if (::lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        error = linkPath + " exists and is not a symbolic link";
        return false;
    }
    const std::string temporary = linkPath + ".hz70sim-" + std::to_string(::getpid());
    ::unlink(temporary.c_str());
    if (::symlink(target.c_str(), temporary.c_str()) != 0) {
        error = SystemError("cannot make the link " + linkPath);
        return false;
    }
    if (::rename(temporary.c_str(), linkPath.c_str()) != 0) {
        error = SystemError("cannot make the link " + linkPath);
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

// Removes `linkPath` only while it still points at `target`: another simulator may own it by now.
void RemoveLinkIfOurs(const std::string& linkPath, const std::string& target) {
    std::array<char, 4096> buffer{};
    const ssize_t length = ::readlink(linkPath.c_str(), buffer.data(), buffer.size() - 1);
    if (length > 0 && std::string(buffer.data(), static_cast<std::size_t>(length)) == target) {
        ::unlink(linkPath.c_str());
    }
}

void Close(int& fd) {
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

speed_t SpeedOf(int baud) {
    switch (baud) {
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B0;
    }
}

bool ConfigureSerial(int fd, const LineMode& mode, int baud) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0 || SpeedOf(baud) == B0) {
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | (mode.dataBits == 7 ? CS7 : CS8);
    if (mode.parity != 'N') {
        tio.c_cflag |= PARENB | (mode.parity == 'O' ? PARODD : 0);
    }
    if (mode.stopBits == 2) {
        tio.c_cflag |= CSTOPB;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    cfsetispeed(&tio, SpeedOf(baud));
    cfsetospeed(&tio, SpeedOf(baud));
    return tcsetattr(fd, TCSANOW, &tio) == 0 && tcflush(fd, TCIOFLUSH) == 0;
}

} // namespace

std::unique_ptr<LineDevice> LineDevice::CreatePseudoTerminal(const std::string& linkPath,
                                                             std::string& error) {
    std::unique_ptr<LineDevice> line(new LineDevice);
    line->kind_ = Kind::PseudoTerminal;
    line->linkPath_ = linkPath;
    if (!line->openPseudoTerminal(error)) {
        return nullptr;
    }
    return line;
}

bool LineDevice::openPseudoTerminal(std::string& error) {
    fd_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0 || ::grantpt(fd_) != 0 || ::unlockpt(fd_) != 0) {
        error = SystemError("cannot make a pseudo-terminal");
        return false;
    }
    const char* slavePath = ::ptsname(fd_);
    if (slavePath == nullptr || !PrepareSlaveSide(slavePath)) {
        error = SystemError("cannot prepare the pseudo-terminal");
        return false;
    }
    slavePath_ = slavePath;
    watchFd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (watchFd_ < 0 || ::inotify_add_watch(watchFd_, slavePath, IN_OPEN) < 0) {
        error = SystemError("cannot watch " + slavePath_);
        return false;
    }
    if (!PlaceLink(slavePath_, linkPath_, error)) {
        return false;
    }
    description_ = slavePath_ + " (link " + linkPath_ + ")";
    return true;
}

std::unique_ptr<LineDevice> LineDevice::OpenSerial(const std::string& path, const LineMode& mode, int baud,
                                                   std::string& error) {
    std::unique_ptr<LineDevice> line(new LineDevice);
    line->fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (line->fd_ < 0) {
        error = SystemError("cannot open " + path);
        return nullptr;
    }
    if (!ConfigureSerial(line->fd_, mode, baud)) {
        error = SystemError("cannot configure " + path);
        return nullptr;
    }
    line->description_ = path;
    return line;
}

std::unique_ptr<LineDevice> LineDevice::ListenTcp(int port, std::string& error) {
    std::unique_ptr<LineDevice> line(new LineDevice);
    line->kind_ = Kind::Tcp;
    line->watchFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    socklen_t size = sizeof address;
    const int reuse = 1; // a restarted simulator takes its port back at once
    const std::string where = "127.0.0.1:" + std::to_string(port);
    if (line->watchFd_ < 0 ||
        ::setsockopt(line->watchFd_, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse) != 0 ||
        ::bind(line->watchFd_, reinterpret_cast<sockaddr*>(&address), size) != 0 ||
        ::listen(line->watchFd_, 4) != 0 ||
        ::getsockname(line->watchFd_, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        error = SystemError("cannot listen on " + where);
        return nullptr;
    }
    line->description_ = "tcp:127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    return line;
}

LineDevice::~LineDevice() {
    unplug();
}

void LineDevice::unplug() {
    if (!linkPath_.empty()) {
        RemoveLinkIfOurs(linkPath_, slavePath_);
    }
    Close(watchFd_);
    Close(fd_);
}

bool LineDevice::plug(std::string& error) {
    if (!isPseudoTerminal()) {
        error = "only a pseudo-terminal can be plugged in again";
        return false;
    }
    if (openPseudoTerminal(error)) {
        return true;
    }
    unplug();
    return false;
}

std::string LineDevice::takeMaster() {
    if (kind_ != Kind::Tcp) {
        std::array<char, 1024> events{};
        while (::read(watchFd_, events.data(), events.size()) > 0) {
        }
        return {};
    }
    sockaddr_in peer{};
    socklen_t size = sizeof peer;
    const int connection =
        ::accept4(watchFd_, reinterpret_cast<sockaddr*>(&peer), &size, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (connection < 0) {
        return {};
    }
    dropMaster();
    fd_ = connection;
    std::array<char, INET_ADDRSTRLEN> host{};
    ::inet_ntop(AF_INET, &peer.sin_addr, host.data(), host.size());
    return std::string(host.data()) + ":" + std::to_string(ntohs(peer.sin_port));
}

void LineDevice::dropMaster() {
    if (kind_ == Kind::Tcp) {
        Close(fd_);
    }
}

} // namespace hz70::sim
