// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DeviceList.h"
#include "comm/Clock.h"
#include "comm/Trans.h"
#include "model/PollTickResult.h"
#include "model/PollingState.h"
#include "publish/CommandMessages.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace hz70 {

class CommandAudit;

// One command and what became of it: for the result message, the status line and the audit.
struct CommandReport {
    publish::IncomingCommand request;
    publish::CommandResult result;
    int address = 0; // the zone's Modbus address; 0 when the topic names no configured zone
};

// Commands from the broker for the line's zones, checked as the parameters dialog checks the
// operator's input and written the way the dialog writes, between two poll exchanges.
//
// Topics: "<prefix>/zone/<n>/set/<name>", n a configured zone, <name> a settings register the dialog
// can write (SP .. TCB, as the settings topic names them) with a decimal integer, or "mode" with "stop"
// or "auto" (what the panel's S/AUTO button writes to the STOP register). The temperatures the dialog
// leaves to the controller (SP, SPL, SPR, ADH, ADL) are held to their rows' limits as well, in the
// zone's unit; a zone whose unit is not known yet (it has not answered a poll) is refused them.
//
// Bounded: accepted commands wait, at most kWaitingLimit of them, the rest refused "zbyt wiele
// poleceń"; they run one at a time, at least kRunInterval apart. A command costs the poll cycle one
// tick (its exchanges and the bus's quiet before the next polled request take longer than what is left
// of the tick), so that the interval keeps the polling cadence within a few per cent of its own. The
// same topic, payload and correlation again within kDuplicateWindow is refused "powtórzone polecenie";
// retained messages are refused.
//
// Reasons, in the order they are looked for: kRetained; "nieznany temat „T”" (no ".../zone/N/set/S");
// "brak strefy N" (N not 1..8 in plain digits, or no zone of that number configured); "nieznane
// ustawienie „S”"; "za długa wartość (ponad 16 bajtów)"; for mode "nieznany tryb „X” (stop albo auto)";
// for a setting kNotANumber (empty and binary payloads too), kUnitUnknown, "poza zakresem 0..537" (the
// limits in the zone's unit); kNoAnswer while the zone's last exchange failed; kRepeated; "zbyt wiele
// poleceń". After the write: kNoAnswer, "wyjątek Modbus 3 (illegal data value)", kNotReadBack, or
// "regulator ma inną wartość" when the value read back is not the one written.
//
// The poll loop, after each tick:
//     for (const CommandReport& report : commands.Submit(publisher.TakeCommands(kCheckedPerTick)))
//         publisher.PublishResult(report.request, report.result);
//     if (const auto report = commands.RunNext(tick))
//         publisher.PublishResult(report->request, report->result);
class RemoteCommands {
public:
    static constexpr std::size_t kWaitingLimit = 4;
    static constexpr std::chrono::milliseconds kRunInterval{3000};
    // Commands to take from the publisher and check per tick: a flood never makes one tick late, and the
    // publisher's bounded inbox holds the rest meanwhile.
    static constexpr std::size_t kCheckedPerTick = 16;
    static constexpr std::chrono::seconds kDuplicateWindow{10};
    static constexpr std::size_t kPayloadLimit = 16; // bytes

    static constexpr std::string_view kRetained = "wiadomość zachowana (retained) — zignorowana";
    static constexpr std::string_view kRepeated = "powtórzone polecenie";
    static constexpr std::string_view kNotANumber = "nie jest liczbą całkowitą";
    static constexpr std::string_view kUnitUnknown = "jednostka temperatury strefy jeszcze nieznana";
    static constexpr std::string_view kNoAnswer = "regulator nie odpowiada";
    static constexpr std::string_view kNotReadBack = "zapisano, lecz odczyt nie powiódł się";

    // The line's records (looked up by zone number at every use, so a rebuilt list is fine), its link
    // and the poll flags the blocking exchanges use, and the clock for the bounds.
    RemoteCommands(DeviceList& devices, TTrans& trans, PollingState& polling, Clock& clock);
    ~RemoteCommands();
    RemoteCommands(const RemoteCommands&) = delete;
    RemoteCommands& operator=(const RemoteCommands&) = delete;

    // Appends every command from now on to `file` (CSV, a header when the file is new): time, origin,
    // topic, zone, address, setting, before, requested, read back, result. Empty, or why not.
    [[nodiscard]] std::string StartAudit(const std::filesystem::path& file);

    // Checks the commands. Refused ones come back at once, with their reasons; accepted ones wait for
    // RunNext. Nothing goes to the line here.
    [[nodiscard]] std::vector<CommandReport> Submit(std::vector<publish::IncomingCommand> commands);

    // Runs the oldest accepted command, if any, and only when `tick` left no exchange open (its outcome
    // is not kPending) and kRunInterval has passed since the last write: checks it again against the
    // zone as it is now, writes the value (WriteSetting), reads the register back (ReadSettings; the
    // status word for the mode) and reports. Blocking, at most two exchanges each bounded by the link's
    // time-out. One command per call, so that a tick never holds the line long.
    [[nodiscard]] std::optional<CommandReport> RunNext(const PollTickResult& tick);

    // Accepted commands not yet run.
    [[nodiscard]] std::size_t waiting() const { return accepted_.size(); }

private:
    struct Accepted {
        CommandReport report;
        std::optional<int> line; // the settings line; none for the mode
        std::uint16_t word = 0;  // what to write
    };
    struct Recent {
        std::string key;
        std::uint32_t acceptedMs;
    };

    [[nodiscard]] DeviceEntry* FindZone(int number) const;
    // Empty when the command may run; fills in what it learns on the way.
    [[nodiscard]] std::string Check(Accepted& command);
    // The value against the zone as it is now, and whether the zone answers.
    [[nodiscard]] std::string CheckValue(Accepted& command) const;
    [[nodiscard]] std::string CheckMode(Accepted& command) const;
    [[nodiscard]] std::string CheckSetting(Accepted& command) const;
    [[nodiscard]] static std::string DuplicateKey(const publish::IncomingCommand& request);
    [[nodiscard]] bool Repeated(const publish::IncomingCommand& request);
    void Run(Accepted& command, TRegulator& record);
    [[nodiscard]] std::optional<double> ReadBackSetting(TRegulator& record, int line);
    [[nodiscard]] std::optional<double> ReadBackMode(TRegulator& record);
    void Audit(const CommandReport& report);

    DeviceList& devices_;
    TTrans& trans_;
    PollingState& polling_;
    Clock& clock_;
    std::optional<std::uint32_t> lastRunMs_;
    std::vector<Recent> recent_; // accepted within the duplicate window
    std::deque<Accepted> accepted_;
    std::unique_ptr<CommandAudit> audit_;
};

} // namespace hz70
