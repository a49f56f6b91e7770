// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"

#include <memory>
#include <string>

namespace hz70::sim {

// The simulator's end of the line: the master side of a pseudo-terminal (with a link to its slave
// side), a real serial device, or a loopback TCP port served as a serial device server serves its line.
// Non-blocking; closed and unlinked on destruction.
class LineDevice {
public:
    enum class Kind { PseudoTerminal, Serial, Tcp };

    // A new pseudo-terminal in raw mode with `linkPath` pointing at its slave side. An existing
    // symbolic link at `linkPath` is replaced; any other file there is an error.
    [[nodiscard]] static std::unique_ptr<LineDevice> CreatePseudoTerminal(const std::string& linkPath,
                                                                          std::string& error);
    // A serial device configured for `mode` at `baud`.
    [[nodiscard]] static std::unique_ptr<LineDevice> OpenSerial(const std::string& path, const LineMode& mode,
                                                                int baud, std::string& error);
    // A listening TCP socket on 127.0.0.1:`port` (0: a free port the system picks). As a device server
    // does, it serves one master at a time: a new connection replaces the one served.
    [[nodiscard]] static std::unique_ptr<LineDevice> ListenTcp(int port, std::string& error);
    ~LineDevice();
    LineDevice(const LineDevice&) = delete;
    LineDevice& operator=(const LineDevice&) = delete;

    // The line; for TCP the master's connection, -1 while there is none.
    [[nodiscard]] int fd() const { return fd_; }
    // Readable whenever someone opens the pseudo-terminal's slave side, or a master connects over TCP;
    // -1 for a serial device. While nobody has the slave side open, the master side reports a hang-up
    // and must be left alone.
    [[nodiscard]] int openWatchFd() const { return watchFd_; }
    [[nodiscard]] Kind kind() const { return kind_; }
    [[nodiscard]] bool isPseudoTerminal() const { return kind_ == Kind::PseudoTerminal; }
    [[nodiscard]] bool plugged() const { return kind_ == Kind::Tcp ? watchFd_ >= 0 : fd_ >= 0; }
    // Where masters find the line ("/dev/pts/3 (link ./COM1)", the device path, or
    // "tcp:127.0.0.1:5020").
    [[nodiscard]] const std::string& description() const { return description_; }

    // After the open watch became readable: empties its queue, or over TCP takes the new connection in
    // place of the one served and says whose it is ("127.0.0.1:40312"). Empty when there was none.
    [[nodiscard]] std::string takeMaster();
    // Over TCP, closes the master's connection; the next master may connect at once.
    void dropMaster();

    // Pulls a pseudo-terminal out as a USB adapter is pulled: closed, so that the master's reads fail,
    // and its link removed. fd() and openWatchFd() are -1 until `plug`. A serial device is only closed.
    void unplug();
    // A new pseudo-terminal behind the same link; false with `error` (and still unplugged) when none
    // can be made, or for a serial device.
    [[nodiscard]] bool plug(std::string& error);

private:
    LineDevice() = default;
    [[nodiscard]] bool openPseudoTerminal(std::string& error);

    Kind kind_ = Kind::Serial;
    int fd_ = -1;
    int watchFd_ = -1;
    std::string linkPath_;
    std::string slavePath_;
    std::string description_;
};

} // namespace hz70::sim
