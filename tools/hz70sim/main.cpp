// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Options.h"
#include "hz70sim/Server.h"

#include <iostream>
#include <string_view>
#include <vector>

int main(int argc, char** argv) {
    const std::vector<std::string_view> args(argv + 1, argv + argc);
    const hz70::sim::OptionsResult parsed = hz70::sim::ParseOptions(args);
    if (parsed.options.help) {
        std::cout << hz70::sim::HelpText();
        return 0;
    }
    if (parsed.options.version) {
        std::cout << "hz70sim " HZ70_VERSION "\n";
        return 0;
    }
    if (!parsed.error.empty()) {
        std::cerr << "hz70sim: " << parsed.error << " (try --help)\n";
        return 2;
    }
    return hz70::sim::RunSimulator(parsed.options);
}
