// SPDX-License-Identifier: GPL-3.0-or-later
#include "CliOptions.h"

#include "comm/LinkNames.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <iterator>
#include <string_view>

namespace hz70::cli {

std::optional<long> ParseBoundedNumber(const std::string& text, long minimum, long maximum) {
    if (text.empty() || text.front() == ' ' || text.front() == '+') {
        return std::nullopt;
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, hex ? 16 : 10);
    if (errno != 0 || end == text.c_str() || *end != '\0' || value < minimum || value > maximum) {
        return std::nullopt;
    }
    return value;
}

std::optional<int> ComIndex(const std::string& name) {
    if (name.size() == 4 && name.starts_with("COM") && name[3] >= '1' && name[3] <= '8') {
        return name[3] - '1';
    }
    return std::nullopt;
}

const char* UsageText() {
    return "Usage: hz70cli [options] COMMAND [arguments]\n"
           "\n"
           "Talks to HZ70 controllers on a serial line as a Modbus master.\n"
           "\n"
           "Commands:\n"
           "  identify            report slave id (function 17); an HZ70 answers 142\n"
           "  read REG COUNT      read COUNT holding registers from REG (function 3)\n"
           "  write REG VALUE     write VALUE (0..65535) to register REG (function 6)\n"
           "  poll [ADDRESS...]   poll the zones every 100 ms as the program does and print one CSV line\n"
           "                      per zone update; the zones of the settings file, or the addresses given\n"
           "  scan                ask every address from --first to --last for its slave id and list the\n"
           "                      HZ70 controllers found (progress on standard error)\n"
           "\n"
           "Options:\n"
           "  --port NAME         COM1..COM8 or a device path (default COM1; COMn is looked up as\n"
           "                      ./COMn, then /dev/ttyUSB{n-1}, /dev/ttyACM{n-1}, /dev/ttyS{n-1})\n"
           "  --baud RATE         300 600 1200 2400 4800 9600 19200 38400 57600 115200 bit/s, or the\n"
           "                      table index 0..9 (default 9600)\n"
           "  --mode NAME         ascii-8n1 ascii-7e1 ascii-7o1 rtu-8n2 rtu-8e1 rtu-8o1 rtu-8n1, or the\n"
           "                      table index 0..6 as in the program's port dialog (default ascii-8n1)\n"
           "  --address N         slave address 1..247 (default 1)\n"
           "  --timeout MS        reply time-out; below 100 the baud rate's default is used\n"
           "  --settings DIR      poll, scan: take the link (and for poll the zones) from DIR/HZ70wiz.INI\n"
           "  --seconds N         poll: stop after N seconds (default: until interrupted)\n"
           "  --first A, --last B scan: the address range (default 1 and 247)\n"
           "  --trace             write every link event to standard error, one line each: seconds since\n"
           "                      the start, the event (sent, received, reply ok, echo dropped, skipped\n"
           "                      N bytes, bad check, not our reply, time-out, input never ends) and\n"
           "                      its bytes (hex for RTU, quoted text for ASCII)\n"
           "  --help              show this text\n"
           "  --version           show the version\n"
           "\n"
           "Prints \"result CODE\" and the values; exits 0 when the controller answered, 1 when the\n"
           "exchange failed (2 no valid reply, -2 port not open, 128+function exception), 2 on bad usage.\n";
}

std::variant<CliOptions, std::string> ParseCliOptions(const std::vector<std::string>& args) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
            continue;
        }
        if (arg == "--trace") {
            options.trace = true;
            continue;
        }
        if (arg == "--version") {
            options.version = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            if (options.command.empty()) {
                options.command = arg;
            } else {
                options.arguments.push_back(arg);
            }
            continue;
        }
        static constexpr std::string_view kValued[] = {"--port",    "--settings", "--baud",
                                                       "--mode",    "--address",  "--timeout",
                                                       "--seconds", "--first",    "--last"};
        if (std::find(std::begin(kValued), std::end(kValued), arg) == std::end(kValued)) {
            return "unknown option " + arg;
        }
        if (i + 1 == args.size()) {
            return "option " + arg + " needs a value";
        }
        const std::string& value = args[++i];
        const auto number = [&](long minimum, long maximum) -> std::optional<int> {
            const auto parsed = ParseBoundedNumber(value, minimum, maximum);
            return parsed ? std::optional<int>(static_cast<int>(*parsed)) : std::nullopt;
        };
        std::optional<int> parsed;
        if (arg == "--port") {
            options.port = value;
            options.portGiven = true;
            options.settings.COM = ComIndex(value).value_or(0);
            continue;
        }
        if (arg == "--settings") {
            options.settingsDirectory = value;
            continue;
        }
        if (arg == "--baud" && (parsed = BaudIndexFromText(value))) {
            options.settings.Baud = *parsed;
        } else if (arg == "--mode" && (parsed = ModeIndexFromText(value))) {
            options.settings.Mode = *parsed;
        } else if (arg == "--address" && (parsed = number(1, 247))) {
            options.address = *parsed;
        } else if (arg == "--timeout" && (parsed = number(-1, 600000))) {
            options.settings.Timeout = *parsed;
        } else if (arg == "--seconds" && (parsed = number(1, 7 * 24 * 3600))) {
            options.seconds = *parsed;
        } else if (arg == "--first" && (parsed = number(1, 247))) {
            options.firstAddress = *parsed;
        } else if (arg == "--last" && (parsed = number(1, 247))) {
            options.lastAddress = *parsed;
        } else {
            return "bad value for " + arg + ": " + value;
        }
    }
    if (options.command.empty() && !options.help && !options.version) {
        return std::string("no command given");
    }
    return options;
}

} // namespace hz70::cli
