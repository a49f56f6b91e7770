// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/Options.h"

#include "comm/LinkNames.h"
#include "comm/Trans.h"
#include "hz70sim/TextParsing.h"

#include <functional>
#include <limits>
#include <map>

namespace hz70::sim {

namespace {

constexpr long long kMaxDelayMs = 60'000;
constexpr long long kMaxPieces = 64;
constexpr double kMaxSpeed = 1000.0;

using Setter = std::function<bool(SimOptions&, std::string_view)>;

bool SetShare(double& share, std::string_view text) {
    const std::optional<double> value = ParseNumber(text, 0.0, 1.0);
    if (value) {
        share = *value;
    }
    return value.has_value();
}

// The extra reply delay, also called lateness: 0 or "off" for none.
bool SetDelay(Micros& target, std::string_view text) {
    const std::optional<long long> ms = ParseMillisecondsOrOff(text, kMaxDelayMs);
    if (ms) {
        target = Micros{*ms * 1000};
    }
    return ms.has_value();
}

bool SetHabitBytes(std::vector<std::uint8_t>& target, std::string_view text) {
    std::optional<std::vector<std::uint8_t>> bytes = ParseHexBytesOrOff(text, kMaxHabitBytes);
    if (bytes) {
        target = std::move(*bytes);
    }
    return bytes.has_value();
}

bool SetMilliseconds(Micros& target, std::string_view text) {
    const std::optional<long long> ms = ParseInteger(text, 0, kMaxDelayMs);
    if (ms) {
        target = Micros{*ms * 1000};
    }
    return ms.has_value();
}

bool AddForeign(SimOptions& options, std::string_view text) {
    const std::size_t equals = text.find('=');
    if (equals == std::string_view::npos) {
        return false;
    }
    const std::optional<std::uint8_t> address = ParseAddress(text.substr(0, equals));
    const std::optional<long long> id = ParseInteger(text.substr(equals + 1), 0, 255);
    if (!address || !id) {
        return false;
    }
    options.bus.foreign[*address] = static_cast<std::uint8_t>(*id);
    return true;
}

const std::map<std::string_view, Setter>& Setters() {
    static const std::map<std::string_view, Setter> setters{
        {"--link",
         [](SimOptions& o, std::string_view v) { return !v.empty() && (o.link = std::string(v), true); }},
        {"--device",
         [](SimOptions& o, std::string_view v) { return !v.empty() && (o.device = std::string(v), true); }},
        {"--tcp",
         [](SimOptions& o, std::string_view v) {
             const auto port = ParseInteger(v, 0, 65535);
             return port && (o.tcpPort = static_cast<int>(*port), true);
         }},
        {"--log",
         [](SimOptions& o, std::string_view v) { return !v.empty() && (o.logPath = std::string(v), true); }},
        {"--mode",
         [](SimOptions& o, std::string_view v) {
             const auto mode = ModeIndexFromText(v);
             return mode && (o.mode = *mode, true);
         }},
        {"--baud",
         [](SimOptions& o, std::string_view v) {
             // The table's index, as the program's port dialog and hz70cli take it, or a rate.
             if (const auto index = BaudIndexFromText(v); index && v.size() == 1) {
                 return o.baud = kBaudTable[static_cast<std::size_t>(*index)].rate, true;
             }
             const auto baud = ParseInteger(v, 1, 1'000'000);
             return baud && IsSupportedBaudRate(static_cast<int>(*baud)) &&
                    (o.baud = static_cast<int>(*baud), true);
         }},
        {"--zones",
         [](SimOptions& o, std::string_view v) {
             auto zones = ParseAddressList(v);
             return zones && (o.bus.zones = std::move(*zones), true);
         }},
        {"--silence",
         [](SimOptions& o, std::string_view v) {
             auto addresses = ParseAddressList(v);
             return addresses &&
                    (o.silenced.insert(o.silenced.end(), addresses->begin(), addresses->end()), true);
         }},
        {"--foreign", AddForeign},
        {"--response-delay",
         [](SimOptions& o, std::string_view v) { return SetMilliseconds(o.responseDelay, v); }},
        {"--delay", [](SimOptions& o, std::string_view v) { return SetDelay(o.faults.extraDelay, v); }},
        {"--late", [](SimOptions& o, std::string_view v) { return SetDelay(o.faults.extraDelay, v); }},
        {"--stray",
         [](SimOptions& o, std::string_view v) { return SetHabitBytes(o.faults.habits.stray, v); }},
        {"--trail",
         [](SimOptions& o, std::string_view v) { return SetHabitBytes(o.faults.habits.trail, v); }},
        {"--split-gap",
         [](SimOptions& o, std::string_view v) { return SetMilliseconds(o.faults.pieceGap, v); }},
        {"--split",
         [](SimOptions& o, std::string_view v) {
             const auto pieces = ParseInteger(v, 1, kMaxPieces);
             return pieces && (o.faults.pieces = static_cast<int>(*pieces), true);
         }},
        {"--drop", [](SimOptions& o, std::string_view v) { return SetShare(o.faults.drop, v); }},
        {"--corrupt", [](SimOptions& o, std::string_view v) { return SetShare(o.faults.corrupt, v); }},
        {"--wrongaddr", [](SimOptions& o, std::string_view v) { return SetShare(o.faults.wrongAddress, v); }},
        {"--noise", [](SimOptions& o, std::string_view v) { return SetShare(o.faults.noise, v); }},
        {"--seed",
         [](SimOptions& o, std::string_view v) {
             const auto seed = ParseInteger(v, 0, std::numeric_limits<long long>::max());
             return seed && (o.bus.seed = static_cast<std::uint64_t>(*seed), true);
         }},
        {"--speed",
         [](SimOptions& o, std::string_view v) {
             const auto speed = ParseNumber(v, 0.001, kMaxSpeed);
             return speed && (o.bus.speed = *speed, true);
         }},
    };
    return setters;
}

// Options that take no value.
const std::map<std::string_view, void (*)(SimOptions&)>& Flags() {
    static const std::map<std::string_view, void (*)(SimOptions&)> flags{
        {"--echo", [](SimOptions& o) { o.faults.habits.echo = true; }},
        {"--version", [](SimOptions& o) { o.version = true; }},
    };
    return flags;
}

} // namespace

OptionsResult ParseOptions(std::span<const std::string_view> args) {
    OptionsResult result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string_view name = args[i];
        if (name == "--help" || name == "-h") {
            result.options.help = true;
            return result;
        }
        std::optional<std::string_view> value;
        if (const std::size_t equals = name.find('='); equals != std::string_view::npos) {
            value = name.substr(equals + 1);
            name = name.substr(0, equals);
        }
        if (const auto flag = Flags().find(name); flag != Flags().end()) {
            if (value) {
                result.error = std::string(name) + " takes no value";
                return result;
            }
            flag->second(result.options);
            continue;
        }
        const auto setter = Setters().find(name);
        if (setter == Setters().end()) {
            result.error = "unknown option " + std::string(name);
            return result;
        }
        if (!value) {
            if (i + 1 >= args.size()) {
                result.error = std::string(name) + " needs a value";
                return result;
            }
            value = args[++i];
        }
        if (!setter->second(result.options, *value)) {
            result.error = "bad value for " + std::string(name) + ": " + std::string(*value);
            return result;
        }
    }
    const SimOptions& o = result.options;
    if (o.link.has_value() + o.device.has_value() + o.tcpPort.has_value() != 1) {
        result.error = "give one of --link PATH, --device PATH and --tcp PORT";
    }
    return result;
}

std::string HelpText() {
    return R"(Usage: hz70sim (--link PATH | --device PATH | --tcp PORT) [options]

Simulates a bus of HZ70 heating-zone controllers (Modbus slaves) for HZ70wiz.

Line:
  --link PATH            make a pseudo-terminal and a symbolic link PATH to it (e.g. ./COM1, which
                         the program's COM1 finds); the link is removed when hz70sim ends. Refused
                         while another hz70sim that runs owns PATH (it holds the lock file .NAME.lock
                         beside it); a link left behind by one that ended is replaced
  --device PATH          serve an existing serial device (an RS-485 adapter) instead
  --tcp PORT             serve the bus on 127.0.0.1:PORT as an Ethernet converter (a serial device
                         server) serves its line: raw bytes, one master at a time, a new connection
                         replacing the one served; 0 takes a free port. Masters give the address
                         printed at start as their port, e.g. hz70cli --port tcp:127.0.0.1:5020
  --mode NAME            framing: ascii-8n1 ascii-7e1 ascii-7o1 rtu-8n2 rtu-8e1 rtu-8o1 rtu-8n1, or
                         the program's mode index 0..6 in that order (default ascii-8n1)
  --baud RATE            300 600 1200 2400 4800 9600 19200 38400 57600 115200 (default 9600), or
                         the program's baud index 0..9; replies are paced at 10 or 11 bit times per
                         character at this rate
  --response-delay MS    controller's delay from the end of a request to its reply (default 5;
                         in RTU never less than 3.5 characters or 4 ms)

Controllers:
  --zones LIST           HZ70 addresses, e.g. 1,2,3 or 1-8 or 1-4,9 (1..247; default 1)
  --foreign ADDR=ID      the device at ADDR is another kind of device: Report Slave ID answers ID,
                         registers answer exception 2 (repeatable)
  --seed N               seed of the plant variations, the reading noise and the faults (default 1)
  --speed X              simulated seconds per real second (default 1)

Faults (shares are probabilities per reply, 0..1):
  --drop P               no reply
  --corrupt P            reply with a wrong CRC or LRC
  --wrongaddr P          valid reply from the next address instead
  --noise P              1..8 random bytes on the line, a frame gap before the reply
  --delay MS             extra delay of every reply (near or past the master's time-out)
  --split N              send every reply in N pieces ...
  --split-gap MS         ... with this much quiet between them (default 20)
  --silence LIST         these controllers do not answer at all

Adapter habits (two-wire USB RS-485 adapters):
  --echo                 every byte the master sends comes straight back to it, before any reply
  --stray HEX            these bytes (e.g. 00 or FF00) come just before every reply
  --trail HEX            these bytes come just after every reply (e.g. 00, a NUL after each RTU reply)
  --late MS              replies come this late, past the master's time-out, so that they land in its
                         next exchange; another name for --delay

  --log FILE             one line per request received:
                           <ms> <address> <function> <register> <count or value> <answer>
                         ms is CLOCK_MONOTONIC in milliseconds; "-" where a field does not apply;
                         answer is ok or exceptionN, with ,dropped ,wrongaddr ,corrupt ,delayMS
                         ,noise ,splitN for injected faults and ,stray ,trail for adapter habits, or
                         one of bad-check, no-device, silenced, broadcast; then ,echoed when echo is
                         on. unplug and plug write "<ms> - - - - unplugged" and "... plugged";
                         with --tcp, a master's connection "... connected" and "... disconnected".
  --help                 this text
  --version              the version

Commands on standard input (while running; started in the background of an interactive shell, it
reads none and says so: give it </dev/null there):
  drop P | corrupt P | wrongaddr P | noise P     set a fault share
  delay MS | late MS                             set the extra reply delay (0 or off: none)
  split N [GAP_MS]                               send replies in N pieces
  echo on|off, stray HEX|off, trail HEX|off      set an adapter habit
  unplug, plug                                   pull the pseudo-terminal out (its link goes, the
                                                 master's reads fail) and put a new one in behind
                                                 the same link; refused with --device and --tcp
  disconnect                                     with --tcp, drop the master's connection as a
                                                 converter does; the master may connect again
  silence ADDR|all, revive ADDR|all              stop or resume answering
  alarm ADDR KIND                                raise an alarm: KIND is sensor-open,
                                                 sensor-short, load-open, load-short, leakage, fuse
                                                 or ssr; KIND clear clears them all
  manual ADDR PERCENT, auto ADDR                 hold the output by hand, or release it
  status                                         faults, habits and every controller's values
  help, quit                                     list these commands; end hz70sim

Registers (function 3 reads 4000..4016 and 4018..4024, never across 4017; function 6 writes
4000..4016 within their limits; function 17 answers id 142 (0x8E) and run indicator 0xFF):
  refusals               a count of 0 or above 125 or a value outside the limits is exception 3, a
                         register outside those blocks exception 2, any other function exception 1
  4000..4016             settings; SP, SPL, SPR, ADH, ADL are in °F (and so are their limits) while
                         DEG is 1; 4016 STOP: 1 automatic control, 0 stop at the reduced setpoint SPL
  4018                   alarm word: bit 0 sensor short, 1 sensor open, 3 high temperature (above
                         setpoint + ADH), 4 low temperature (below setpoint - ADL, once the zone has
                         been in its band), 5 load short, 6 load open, 7 leakage current, 8 fuse
                         blown, 9 SSR shorted
  4019                   status word: bit 0 automatic (clear: stop), 1 manual, 2 PID tuning (AUA),
                         3 fuzzy logic (FL), 4 soft start, 7 alarm relay closed (AUD and any alarm),
                         8 °F
  4020..4024             signed words: temperature and working setpoint in 0.1 °C or °F, output
                         0.1 %, load current 0.1 A, leakage current 0.1 mA; an open sensor reads
                         32767
)";
}

} // namespace hz70::sim
