// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliProgram.h"

#include <csignal>
#include <iostream>

namespace {

hz70::cli::StopSignal stopSignal{0};

extern "C" void RequestStop(int signal) {
    stopSignal = signal;
}

} // namespace

int main(int argc, char** argv) {
    std::signal(SIGINT, RequestStop);
    std::signal(SIGTERM, RequestStop);
    const int status = hz70::cli::RunCli(std::vector<std::string>(argv + 1, argv + argc), HZ70_VERSION,
                                         stopSignal, std::cout, std::cerr);
#ifndef _WIN32
    // Ended by the signal as far as the parent can tell, so that a shell loop around us stops as well;
    // unless the command took the signal as its normal end.
    if (const int signal = stopSignal.load(); signal != 0 && status == hz70::cli::kExitSignalBase + signal) {
        std::cout.flush();
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
#endif
    return status;
}
