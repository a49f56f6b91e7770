// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/LineTiming.h"

#include <memory>
#include <string>

namespace hz70::sim {

// The simulator's end of the line: the master side of a pseudo-terminal (with a link to its slave
// side), or a real serial device. Non-blocking; closed and unlinked on destruction.
class LineDevice {
public:
    // A new pseudo-terminal in raw mode with `linkPath` pointing at its slave side. An existing
    // symbolic link at `linkPath` is replaced; any other file there is an error.
    [[nodiscard]] static std::unique_ptr<LineDevice> CreatePseudoTerminal(const std::string& linkPath,
                                                                          std::string& error);
    // A serial device configured for `mode` at `baud`.
    [[nodiscard]] static std::unique_ptr<LineDevice> OpenSerial(const std::string& path, const LineMode& mode,
                                                                int baud, std::string& error);
    ~LineDevice();
    LineDevice(const LineDevice&) = delete;
    LineDevice& operator=(const LineDevice&) = delete;

    [[nodiscard]] int fd() const { return fd_; }
    // Readable whenever someone opens the pseudo-terminal's slave side; -1 for a serial device. While
    // nobody has that side open, the master side reports a hang-up and must be left alone.
    [[nodiscard]] int openWatchFd() const { return watchFd_; }
    [[nodiscard]] bool isPseudoTerminal() const { return !linkPath_.empty(); }
    [[nodiscard]] bool plugged() const { return fd_ >= 0; }
    // Where masters find the line ("/dev/pts/3 (link ./COM1)" or the device path).
    [[nodiscard]] const std::string& description() const { return description_; }

    // Empties the open-watch queue.
    void drainOpenWatch() const;

    // Pulls a pseudo-terminal out as a USB adapter is pulled: closed, so that the master's reads fail,
    // and its link removed. fd() and openWatchFd() are -1 until `plug`. A serial device is only closed.
    void unplug();
    // A new pseudo-terminal behind the same link; false with `error` (and still unplugged) when none
    // can be made, or for a serial device.
    [[nodiscard]] bool plug(std::string& error);

private:
    LineDevice() = default;
    [[nodiscard]] bool openPseudoTerminal(std::string& error);

    int fd_ = -1;
    int watchFd_ = -1;
    std::string linkPath_;
    std::string slavePath_;
    std::string description_;
};

} // namespace hz70::sim
