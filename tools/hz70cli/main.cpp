// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliProgram.h"

#include <atomic>
#include <csignal>
#include <iostream>

namespace {

std::atomic<bool> stopRequested{false};

extern "C" void RequestStop(int) {
    stopRequested = true;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    return hz70::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), HZ70_VERSION, stopRequested,
                             std::cout, std::cerr);
}
