// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "hz70sim/Options.h"

namespace hz70::sim {

// Runs the simulator as the options say until "quit", SIGINT or SIGTERM: one thread, one poll() loop
// over the line, standard input and the signals. Returns the process exit status.
[[nodiscard]] int RunSimulator(const SimOptions& options);

} // namespace hz70::sim
