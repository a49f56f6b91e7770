// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DurableAppender.h"
#include "model/PollTickResult.h"

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace hz70 {

// The columns of the alarm log file.
inline constexpr const char* kAlarmLogHeader = "time,zone,address,name,event,came_went,acknowledged";
inline constexpr const char* kAlarmLogFileName = "HZ70wiz-alarmy.csv";
// A file larger than this at start is moved aside (HZ70wiz-alarmy.1.csv, replacing an older one), and a
// new one carries on with what still matters.
inline constexpr std::uintmax_t kAlarmLogMaxBytes = 4 * 1024 * 1024;

// The events besides the alarm bits, which go by their names in kAlarmNames.
inline constexpr const char* kCommunicationEvent = "communication"; // came: lost, went: back
inline constexpr const char* kModeEventPrefix = "mode-";            // "mode-stop", "mode-auto", "mode-manual"

// What the came_went column holds.
inline constexpr const char* kCame = "came";
inline constexpr const char* kWent = "went";
inline constexpr const char* kByOperator = "operator"; // a mode change
inline constexpr const char* kByCommand = "command";   // a mode change
inline constexpr const char* kAcknowledgement = "ack"; // a line that acknowledges an earlier event

// One line of the log.
struct AlarmEvent {
    std::string time; // local, as IsoLocalTime writes it
    int zone = 0;
    int address = 0;
    std::string name;
    std::string event;
    std::string change; // kCame or kWent; kByOperator or kByCommand for a mode change
    bool acknowledged = false;

    // An alarm or a lost link that came: the operator is to acknowledge it.
    [[nodiscard]] bool needsAcknowledgement() const;
};

// The zones' alarms, lost and regained links and mode changes, each once as it comes and once as it
// goes, taken from successive poll ticks. The log lives in a CSV file that is only ever appended to,
// acknowledgements included, and is read back at start, so that a restart neither loses the log nor
// reports again an alarm that has not gone.
class AlarmLog {
public:
    // Reads `file` back when there is one, then appends to it from now on (a header when it is new).
    // A file larger than `maxBytes` is moved aside first, and only the events still to be acknowledged
    // and those of alarms and lost links still standing are kept, in the log and in the new file.
    // Empty, or why the file cannot be written; the log works without it then.
    [[nodiscard]] std::string Start(const std::filesystem::path& file,
                                    std::uintmax_t maxBytes = kAlarmLogMaxBytes);

    // The events `tick` brings, appended to the log and the file; none unless the tick ended an exchange.
    std::vector<AlarmEvent>
    Observe(const PollTickResult& tick,
            std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

    // The next mode change seen on `zone` (at its next exchange) was made by a command from the broker;
    // any other is the operator's.
    void ExpectCommandModeChange(int zone);

    // Acknowledges the events at `indices` (into events()), or every one; returns how many were waiting.
    std::size_t Acknowledge(const std::vector<std::size_t>& indices,
                            std::chrono::system_clock::time_point when = std::chrono::system_clock::now());
    std::size_t AcknowledgeAll(std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

    // Oldest first.
    [[nodiscard]] const std::vector<AlarmEvent>& events() const { return events_; }
    [[nodiscard]] std::size_t unacknowledged() const;
    // Returns once every line so far is on the disk.
    void Flush();

private:
    // What the log last knew of a zone.
    struct ZoneState {
        std::set<std::string> alarms; // names of the alarms that came and have not gone
        bool lost = false;
        std::optional<std::string> mode; // none until the zone's first answer
        bool commandExpected = false;
    };

    void ReadBack(const std::filesystem::path& file);
    // The file moved aside and begun again with StillMatters(); the log then holds only those.
    void MoveAside(const std::filesystem::path& file);
    [[nodiscard]] std::vector<AlarmEvent> StillMatters() const;
    [[nodiscard]] bool Stands(const AlarmEvent& event) const;
    void Apply(const AlarmEvent& event);
    void Add(AlarmEvent event, std::vector<AlarmEvent>& added);
    void AcknowledgeAt(std::size_t index, const std::string& time);

    std::vector<AlarmEvent> events_;
    std::map<int, ZoneState> zones_; // by zone number
    std::unique_ptr<DurableAppender> appender_;
};

// One event as a line of the file, without the line end.
[[nodiscard]] std::string AlarmLogLine(const AlarmEvent& event);

// Where a log file too large is moved: "HZ70wiz-alarmy.1.csv" beside "HZ70wiz-alarmy.csv".
[[nodiscard]] std::filesystem::path OlderAlarmLogFile(const std::filesystem::path& file);

} // namespace hz70
