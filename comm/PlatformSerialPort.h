// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The serial port of the system the program runs on; the build compiles only that one.
#ifdef _WIN32
#include "comm/WinSerialPort.h"
#else
#include "comm/PosixSerialPort.h"
#endif

namespace hz70 {

#ifdef _WIN32
using PlatformSerialPort = WinSerialPort;
#else
using PlatformSerialPort = PosixSerialPort;
#endif

} // namespace hz70
