// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70cli/CliOptions.h"

#include "comm/LinkNames.h"
#include "comm/PortNames.h"
#include "hz70cli/SettingsCommands.h"
#include "model/ZoneList.h"
#include "publish/BrokerSettings.h"

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
    const auto number = ComNumber(name);
    return number ? std::optional<int>(*number - 1) : std::nullopt;
}

const char* UsageText() {
    return "Usage: hz70cli [options] COMMAND [arguments]\n"
           "\n"
           "Talks to HZ70 controllers on a serial line as a Modbus master.\n"
           "\n"
           "Commands:\n"
           "  identify            report slave id (function 17); an HZ70 answers 142\n"
           "  read REG COUNT      read COUNT holding registers from REG (function 3); one line each: the\n"
           "                      register, the word unsigned, signed and in hex, then for the HZ70's\n"
           "                      registers the name, the scaled value and the unit\n"
           "  write REG VALUE     write VALUE (0..65535) to register REG (function 6)\n"
           "  poll [ADDRESS...]   poll the zones as the program does and print one CSV line per zone\n"
           "                      update: a tick every 100 ms, one zone at a time, its request on one\n"
           "                      tick and its reply taken on the first tick after it arrived; so at\n"
           "                      9600 bit/s one update every 0.2 s (at 2400 bit/s 0.3 s) and each of\n"
           "                      N zones about every N x 0.2 s. The zones of the settings file, or\n"
           "                      the addresses given\n"
           "  gateway [ADDRESS...]\n"
           "                      poll the zones as poll does and publish them to an MQTT broker:\n"
           "                      under hz70/SYSTEM, \"status\" (online/offline, retained), each zone's\n"
           "                      \"zone/N/state\" (JSON, retained) at every update and its\n"
           "                      \"zone/N/settings\" (as read at start) once it first answered; the\n"
           "                      broker's state on standard error. Runs until interrupted; a broker\n"
           "                      that is away is retried, the updates meanwhile kept (up to 4096, the\n"
           "                      oldest dropped beyond). SIGTERM publishes \"offline\" and ends it\n"
           "                      with status 0\n"
           "  scan                ask every address from --first to --last for its slave id and list the\n"
           "                      HZ70 controllers found (progress on standard error, about 1.5 s for\n"
           "                      each address where nothing answers at the default time-out)\n"
           "  settings ...        settings sets of the zones: those at the addresses given, else those\n"
           "                      of --settings, else (diff, load) the file's. Without --yes, load and\n"
           "                      copy show what they would write, write nothing and end with status 1\n"
           "  settings save FILE [ADDRESS...]\n"
           "                      read every zone's settings (SP .. TCB) and save them to FILE, a\n"
           "                      text file: a header with the time and the line, then per zone its\n"
           "                      number, address, name and each setting with its value and unit\n"
           "  settings diff FILE [ADDRESS...]\n"
           "                      list, zone by zone, the settings the controllers hold that differ\n"
           "                      from FILE; exit status 0 when they hold the file's values\n"
           "  settings load FILE [ADDRESS...] --yes\n"
           "                      write the differences from FILE, each checked as the program's\n"
           "                      parameters dialog checks it and read back; one line per zone and\n"
           "                      setting: written, refused (and why) or no answer. DEG (the\n"
           "                      temperature unit) goes first; SEC (the security code) is never\n"
           "                      written, only shown as left out. Nothing is written from a file\n"
           "                      with a refused line or a zone whose address is not the zone's,\n"
           "                      unless the zones to write are named by their addresses\n"
           "  settings copy FROM TO... --yes\n"
           "                      write the settings of the zone at address FROM to the zones at the\n"
           "                      addresses TO, as load does\n"
           "\n"
           "Options:\n"
#ifdef _WIN32
           "  --port NAME         COM1..COM8 or another port, e.g. COM12 or \\\\.\\COM12 (default COM1)\n"
#else
           "  --port NAME         COM1..COM8 (any letter case), a device path, or tcp:HOST:PORT for a\n"
           "                      line behind an Ethernet converter (default COM1; COMn is looked up\n"
           "                      as ./COMn, then /dev/ttyUSB{n-1}, /dev/ttyACM{n-1}, /dev/ttyS{n-1};\n"
           "                      where it led is said on standard error)\n"
#endif
           "  --baud RATE         300 600 1200 2400 4800 9600 19200 38400 57600 115200 bit/s, or the\n"
           "                      table index 0..9, whose rate is said on standard error (default 9600)\n"
           "  --mode NAME         ascii-8n1 ascii-7e1 ascii-7o1 rtu-8n2 rtu-8e1 rtu-8o1 rtu-8n1, or the\n"
           "                      table index 0..6 as in the program's port dialog (default ascii-8n1)\n"
           "  --address N         slave address 1..247 (default 1)\n"
           "  --timeout MS        reply time-out, 100..600000 ms, or 0 for the baud rate's default (the\n"
           "                      default: 1500 ms from 4800 bit/s up, 2100 to 5000 ms below)\n"
           "  --settings DIR      take the link (and for poll and gateway the zones) from\n"
           "                      DIR/HZ70wiz.INI; --port, --baud, --mode and --timeout given beside\n"
           "                      it win over the file; the link is said on standard error, with a\n"
           "                      time-out above 600000 ms used as 600000, and so is every line of the\n"
           "                      file that was corrected or ignored\n"
           "  --seconds N         poll, gateway: stop after N seconds, start-up included (default: until\n"
           "                      interrupted)\n"
           "  --first A, --last B scan: the address range (default 1 and 247)\n"
           "  --mqtt URL          gateway: the broker, mqtt://[USER@]HOST[:PORT] (port 1883) or\n"
           "                      mqtts://[USER@]HOST[:PORT] for TLS (port 8883); default mqtt://localhost\n"
           "  --system NAME       gateway: the line's name in its topics hz70/NAME/... (default the host\n"
           "                      name and the port, e.g. press3-COM1)\n"
           "  --mqtt-password-file FILE\n"
           "                      gateway: the broker password is FILE's first line (never an argument,\n"
           "                      which others could see); refused when other users may read FILE\n"
           "  --mqtt-ca FILE      gateway, mqtts: the authority that signed the broker's certificate\n"
           "                      (default the system's)\n"
           "  --mqtt-cert FILE, --mqtt-key FILE\n"
           "                      gateway, mqtts: a client certificate and its key\n"
           "  --ha-discovery      gateway: also publish Home Assistant discovery under homeassistant/\n"
           "  --csv               gateway: also print the poll's CSV on standard output\n"
           "  --commands          gateway: take commands from the broker: a setting or the mode on\n"
           "                      hz70/SYSTEM/zone/N/set/NAME (SP .. TCB as in the settings topic,\n"
           "                      or mode with stop or auto), checked as the program's parameters\n"
           "                      dialog checks them, written between polls, read back and\n"
           "                      answered on zone/N/result; each said on standard error. Off by\n"
           "                      default; the broker's access list decides who may send them\n"
           "  --audit FILE        gateway --commands: append every command, taken or refused, to FILE\n"
           "                      (default hz70-commands.csv in $STATE_DIRECTORY, which systemd gives\n"
           "                      the service, else in the working folder)\n"
           "  --yes               settings load, copy: write the differences\n"
           "  --trace             write every link event to standard error, one line each: seconds since\n"
           "                      the start, the event (sent, received, reply ok, echo dropped, skipped\n"
           "                      N bytes, bad check, not our reply, time-out, input never ends) and\n"
           "                      its bytes (hex for RTU, quoted text for ASCII)\n"
           "  --help              show this text\n"
           "  --version           show the version\n"
           "\n"
           "Prints \"result CODE\" and the values; an exception reply adds its code and meaning.\n"
           "Exit status: 0 when the controller answered; 1 when the exchange failed (2 no valid reply,\n"
           "-2 port not open, 128+function exception), poll heard no zone at all or scan found no HZ70;\n"
           "2 on bad usage or a --settings folder without a readable settings file.\n"
           "settings: 0 when the controllers hold the file's values or all was written and read\n"
           "back; 1 when not, or nothing was written; 2 when FILE cannot be read.\n"
           "SIGINT (Ctrl+C) and SIGTERM end any command within 0.1 s, whatever the time-out; nothing is\n"
           "sent after them, and hz70cli ends as killed by the signal (a shell shows 130 or 143); but\n"
           "gateway ends with 0 on SIGTERM, its normal way to stop.\n";
}

namespace {

constexpr long kMaxPollSeconds = 7 * 24 * 3600;

std::optional<int> Number(const std::string& text, long minimum, long maximum) {
    const auto parsed = ParseBoundedNumber(text, minimum, maximum);
    return parsed ? std::optional<int>(static_cast<int>(*parsed)) : std::nullopt;
}

// 0 takes the baud rate's default; 1..99 ms is refused rather than quietly replaced by that default.
std::optional<int> TimeoutFromText(const std::string& text) {
    const auto value = Number(text, 0, kMaxReplyTimeout);
    if (!value || (*value > 0 && *value < kMinReplyTimeout)) {
        return std::nullopt;
    }
    return value;
}

// An option with a value: what it accepts (told when a value is refused) and how it is stored.
struct ValuedOption {
    std::string_view name;
    std::string_view accepts;
    bool (*store)(CliOptions&, const std::string&);
};

bool StoreIf(std::optional<int> parsed, int& target, bool* given = nullptr) {
    if (parsed) {
        target = *parsed;
        if (given != nullptr) {
            *given = true;
        }
    }
    return parsed.has_value();
}

const ValuedOption kValuedOptions[] = {
    {"--port", "COM1..COM8, a device path or tcp:HOST:PORT",
     [](CliOptions& o, const std::string& v) {
         const auto com = ComIndex(v);
         o.port = com ? "COM" + std::to_string(*com + 1) : v; // "com1" is COM1, said as such
         o.portGiven = true;
         o.settings.COM = com.value_or(0);
         return !v.empty();
     }},
    {"--settings", "a folder",
     [](CliOptions& o, const std::string& v) { return !v.empty() && (o.settingsDirectory = v, true); }},
    {"--baud", "a rate from 300 to 115200 bit/s or its index 0..9",
     [](CliOptions& o, const std::string& v) {
         const bool stored = StoreIf(BaudIndexFromText(v), o.settings.Baud, &o.baudGiven);
         o.baudGivenAsIndex = stored && v != kBaudTable[static_cast<std::size_t>(o.settings.Baud)].text;
         return stored;
     }},
    {"--mode", "ascii-8n1 ascii-7e1 ascii-7o1 rtu-8n2 rtu-8e1 rtu-8o1 rtu-8n1 or 0..6",
     [](CliOptions& o, const std::string& v) {
         return StoreIf(ModeIndexFromText(v), o.settings.Mode, &o.modeGiven);
     }},
    {"--address", "1..247",
     [](CliOptions& o, const std::string& v) { return StoreIf(Number(v, 1, 247), o.address); }},
    {"--timeout", "100..600000 ms, or 0 for the baud rate's default",
     [](CliOptions& o, const std::string& v) {
         return StoreIf(TimeoutFromText(v), o.settings.Timeout, &o.timeoutGiven);
     }},
    {"--seconds", "1..604800",
     [](CliOptions& o, const std::string& v) {
         const auto seconds = Number(v, 1, kMaxPollSeconds);
         return seconds && (o.seconds = *seconds, true);
     }},
    {"--first", "1..247",
     [](CliOptions& o, const std::string& v) { return StoreIf(Number(v, 1, 247), o.firstAddress); }},
    {"--last", "1..247",
     [](CliOptions& o, const std::string& v) { return StoreIf(Number(v, 1, 247), o.lastAddress); }},
    {"--mqtt", "mqtt://[USER@]HOST[:PORT] or mqtts://[USER@]HOST[:PORT]",
     [](CliOptions& o, const std::string& v) { return o.mqttUrl = v, true; }},
    {"--system", "a name without '/', '+' or '#'",
     [](CliOptions& o, const std::string& v) {
         return !v.empty() && v.find_first_of("/+#") == std::string::npos && (o.systemName = v, true);
     }},
    {"--mqtt-password-file", "a file",
     [](CliOptions& o, const std::string& v) { return !v.empty() && (o.passwordFile = v, true); }},
    {"--mqtt-ca", "a file", [](CliOptions& o, const std::string& v) { return o.caFile = v, !v.empty(); }},
    {"--mqtt-cert", "a file", [](CliOptions& o, const std::string& v) { return o.certFile = v, !v.empty(); }},
    {"--mqtt-key", "a file", [](CliOptions& o, const std::string& v) { return o.keyFile = v, !v.empty(); }},
    {"--audit", "a file",
     [](CliOptions& o, const std::string& v) { return !v.empty() && (o.auditFile = v, true); }},
};

bool NumbersFit(const std::vector<std::string>& arguments, long firstMaximum, long secondMinimum,
                long secondMaximum) {
    return arguments.size() == 2 && ParseBoundedNumber(arguments[0], 0, firstMaximum) &&
           ParseBoundedNumber(arguments[1], secondMinimum, secondMaximum);
}

// Why the gateway's broker options do not fit together. The URL itself is not repeated: a password
// typed into it must not reach a log.
std::optional<std::string> BrokerError(const CliOptions& o) {
    const auto url = publish::ParseBrokerUrl(o.mqttUrl);
    if (const auto* error = std::get_if<std::string>(&url)) {
        return "bad value for --mqtt: " + *error;
    }
    const bool tls = std::get<publish::BrokerUrl>(url).tls;
    if (!tls && !(o.caFile.empty() && o.certFile.empty() && o.keyFile.empty())) {
        return std::string("--mqtt-ca, --mqtt-cert and --mqtt-key need an mqtts:// broker");
    }
    if (o.certFile.empty() != o.keyFile.empty()) {
        return std::string("--mqtt-cert and --mqtt-key go together");
    }
    if (o.auditFile && !o.commands) {
        return std::string("--audit logs the commands of --commands, which is not given");
    }
    return std::nullopt;
}

// Why the command cannot run with these arguments, or nothing when it can. Checked before the port is
// touched, so that a typing error never costs a time-out.
std::optional<std::string> CommandError(const CliOptions& o) {
    if (o.command == "identify" || o.command == "scan") {
        if (!o.arguments.empty()) {
            return o.command + " takes no arguments, got " + o.arguments.front();
        }
        if (o.command == "scan" && o.firstAddress > o.lastAddress) {
            return "--first " + std::to_string(o.firstAddress) + " is above --last " +
                   std::to_string(o.lastAddress);
        }
        return std::nullopt;
    }
    if (o.command == "read") {
        return NumbersFit(o.arguments, 65535, 1, 125)
                   ? std::nullopt
                   : std::optional<std::string>("read needs REG (0..65535) and COUNT (1..125)");
    }
    if (o.command == "write") {
        return NumbersFit(o.arguments, 65535, 0, 65535)
                   ? std::nullopt
                   : std::optional<std::string>("write needs REG (0..65535) and VALUE (0..65535)");
    }
    if (o.command == "gateway") {
        if (auto error = BrokerError(o)) {
            return error;
        }
    }
    if (o.command == "poll" || o.command == "gateway") {
        if (o.arguments.size() > static_cast<std::size_t>(kZoneSlots)) {
            return o.command + " takes at most " + std::to_string(kZoneSlots) + " addresses";
        }
        for (const std::string& argument : o.arguments) {
            if (!ParseBoundedNumber(argument, 1, 247)) {
                return "not an address (1..247): " + argument;
            }
        }
        return std::nullopt;
    }
    if (o.command == "settings") {
        return SettingsUsageError(o);
    }
    return "unknown command " + o.command + " (identify, read, write, poll, gateway, scan or settings)";
}

} // namespace

std::variant<CliOptions, std::string> ParseCliOptions(const std::vector<std::string>& args) {
    CliOptions options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--trace") {
            options.trace = true;
        } else if (arg == "--ha-discovery") {
            options.haDiscovery = true;
        } else if (arg == "--yes") {
            options.yes = true;
        } else if (arg == "--csv") {
            options.csv = true;
        } else if (arg == "--commands") {
            options.commands = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (!arg.starts_with("--")) {
            if (options.command.empty()) {
                options.command = arg;
            } else {
                options.arguments.push_back(arg);
            }
        } else {
            const auto option = std::find_if(std::begin(kValuedOptions), std::end(kValuedOptions),
                                             [&](const ValuedOption& o) { return o.name == arg; });
            if (option == std::end(kValuedOptions)) {
                return "unknown option " + arg;
            }
            if (i + 1 == args.size()) {
                return "option " + arg + " needs a value";
            }
            const std::string& value = args[++i];
            if (!option->store(options, value)) {
                return "bad value for " + arg + ": " + value + " (" + std::string(option->accepts) + ")";
            }
        }
    }
    if (options.help || options.version) {
        return options;
    }
    if (options.command.empty()) {
        return std::string("no command given");
    }
    if (auto error = CommandError(options)) {
        return *std::move(error);
    }
    return options;
}

} // namespace hz70::cli
