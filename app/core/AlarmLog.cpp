// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/AlarmLog.h"

#include "app/core/FileAccess.h"
#include "model/AlarmWord.h"
#include "model/StatusWord.h"
#include "publish/ZoneMessages.h"

#include <charconv>
#include <fstream>
#include <iterator>
#include <utility>

namespace hz70 {
namespace {

constexpr std::size_t kColumns = 7;

const char* ModeName(std::uint16_t status) {
    if ((status & kManualBit) != 0) {
        return "manual";
    }
    return (status & kAutomaticBit) != 0 ? "auto" : "stop";
}

bool IsAlarm(const std::string& event) {
    return event != kCommunicationEvent && !event.starts_with(kModeEventPrefix);
}

// Quoted, with the quote doubled; line breaks and other control characters become spaces, so that one
// event is always one line.
std::string CsvText(const std::string& text) {
    std::string field = "\"";
    for (const char c : text) {
        if (c == '"') {
            field += "\"\"";
        } else {
            field += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
        }
    }
    return field + '"';
}

std::vector<std::string> CsvFields(const std::string& line) {
    std::vector<std::string> fields(1);
    bool quoted = false;
    for (std::size_t at = 0; at < line.size(); ++at) {
        const char c = line[at];
        if (quoted && c == '"' && at + 1 < line.size() && line[at + 1] == '"') {
            fields.back() += '"';
            ++at;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (c == ',' && !quoted) {
            fields.emplace_back();
        } else {
            fields.back() += c;
        }
    }
    return fields;
}

int Number(const std::string& text) {
    int value = 0;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

} // namespace

bool AlarmEvent::needsAcknowledgement() const {
    return change == kCame;
}

std::string AlarmLogLine(const AlarmEvent& event) {
    const char* acknowledged = event.needsAcknowledgement() ? (event.acknowledged ? "yes" : "no") : "";
    return event.time + ',' + std::to_string(event.zone) + ',' + std::to_string(event.address) + ',' +
           CsvText(event.name) + ',' + event.event + ',' + event.change + ',' + acknowledged;
}

std::filesystem::path OlderAlarmLogFile(const std::filesystem::path& file) {
    return file.parent_path() / (file.stem().string() + ".1" + file.extension().string());
}

std::string AlarmLog::Start(const std::filesystem::path& file, std::uintmax_t maxBytes) {
    appender_.reset();
    events_.clear();
    zones_.clear();
    ReadBack(file);
    std::error_code error;
    if (const std::uintmax_t size = std::filesystem::file_size(file, error); !error && size > maxBytes) {
        MoveAside(file);
    }
    return StartAppending(appender_, file, kAlarmLogHeader);
}

void AlarmLog::ReadBack(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::string line;
    bool endsInNewline = true;
    while (std::getline(in, line)) {
        endsInNewline = !in.eof();
        const std::vector<std::string> fields = CsvFields(line);
        if (fields.size() != kColumns || line == kAlarmLogHeader) {
            continue;
        }
        AlarmEvent event{fields[0], Number(fields[1]), Number(fields[2]), fields[3], fields[4], fields[5]};
        if (event.change != kAcknowledgement) {
            event.acknowledged = fields[6] == "yes";
            Apply(event);
            events_.push_back(std::move(event));
            continue;
        }
        // The newest waiting event of that zone, kind and time.
        for (auto it = events_.rbegin(); it != events_.rend(); ++it) {
            if (it->zone == event.zone && it->event == event.event && it->time == fields[6] &&
                it->needsAcknowledgement() && !it->acknowledged) {
                it->acknowledged = true;
                break;
            }
        }
    }
    // A line cut short by a power cut must not run into the next one.
    if (!endsInNewline) {
        std::ofstream(file, std::ios::binary | std::ios::app) << '\n';
    }
}

void AlarmLog::MoveAside(const std::filesystem::path& file) {
    std::vector<AlarmEvent> kept = StillMatters();
    if (kept.size() == events_.size()) {
        return; // the older file moved aside would be lost for nothing
    }
    std::string text = std::string(kAlarmLogHeader) + "\n";
    for (const AlarmEvent& event : kept) {
        text += AlarmLogLine(event) + "\n";
    }
    // A copy, not a rename, so that a crash at any moment leaves the whole log in the file's place.
    std::error_code error;
    std::filesystem::copy_file(file, OlderAlarmLogFile(file),
                               std::filesystem::copy_options::overwrite_existing, error);
    if (!error && !ReplaceFileContent(file, text)) {
        events_ = std::move(kept);
    }
}

std::vector<AlarmEvent> AlarmLog::StillMatters() const {
    using Key = std::pair<int, std::string>; // zone, event
    std::map<Key, std::size_t> latestComing;
    for (std::size_t index = 0; index < events_.size(); ++index) {
        if (events_[index].needsAcknowledgement()) {
            latestComing[{events_[index].zone, events_[index].event}] = index;
        }
    }
    // Whether the coming last met of each was kept: its going is kept with it, so that reading the new
    // file back finds the same alarms standing.
    std::map<Key, bool> comingKept;
    std::vector<AlarmEvent> kept;
    for (std::size_t index = 0; index < events_.size(); ++index) {
        const AlarmEvent& event = events_[index];
        const Key key{event.zone, event.event};
        bool& keep = comingKept[key];
        if (event.needsAcknowledgement()) {
            keep = !event.acknowledged || (latestComing[key] == index && Stands(event));
        }
        if (keep) {
            kept.push_back(event);
        }
    }
    return kept;
}

bool AlarmLog::Stands(const AlarmEvent& event) const {
    const auto zone = zones_.find(event.zone);
    if (zone == zones_.end()) {
        return false;
    }
    return event.event == kCommunicationEvent ? zone->second.lost : zone->second.alarms.contains(event.event);
}

void AlarmLog::Apply(const AlarmEvent& event) {
    ZoneState& zone = zones_[event.zone];
    if (event.event == kCommunicationEvent) {
        zone.lost = event.change == kCame;
    } else if (IsAlarm(event.event)) {
        if (event.change == kCame) {
            zone.alarms.insert(event.event);
        } else {
            zone.alarms.erase(event.event);
        }
    }
}

void AlarmLog::Add(AlarmEvent event, std::vector<AlarmEvent>& added) {
    Apply(event);
    if (appender_) {
        appender_->Append(AlarmLogLine(event) + "\n");
    }
    events_.push_back(event);
    added.push_back(std::move(event));
}

std::vector<AlarmEvent> AlarmLog::Observe(const PollTickResult& tick,
                                          std::chrono::system_clock::time_point when) {
    std::vector<AlarmEvent> added;
    if (!tick.exchangeEnded()) {
        return added;
    }
    const TRegulator& record = *tick.record;
    ZoneState& zone = zones_[record.zoneNumber];
    const bool byCommand = std::exchange(zone.commandExpected, false);
    std::string time; // formatted at the first event: most exchanges bring none
    const auto add = [&](std::string event, const char* change) {
        if (time.empty()) {
            time = publish::IsoLocalTime(when);
        }
        Add({time, record.zoneNumber, record.address, record.name, std::move(event), change}, added);
    };
    if (tick.outcome == PollOutcome::kFailed) {
        if (!zone.lost) {
            add(kCommunicationEvent, kCame);
        }
        return added;
    }
    if (zone.lost) {
        add(kCommunicationEvent, kWent);
    }
    const auto alarms = static_cast<std::uint16_t>(record.measured[kAlarmWord].raw);
    for (std::size_t bit = 0; bit < std::size(kAlarmNames); ++bit) {
        const bool present = (alarms & (1u << bit)) != 0;
        if (present != zone.alarms.contains(kAlarmNames[bit])) {
            add(kAlarmNames[bit], present ? kCame : kWent);
        }
    }
    const std::string mode = ModeName(StatusWord(record));
    if (zone.mode && *zone.mode != mode) {
        add(kModeEventPrefix + mode, byCommand ? kByCommand : kByOperator);
    }
    zone.mode = mode;
    return added;
}

void AlarmLog::ExpectCommandModeChange(int zone) {
    zones_[zone].commandExpected = true;
}

void AlarmLog::AcknowledgeAt(std::size_t index, const std::string& time) {
    AlarmEvent& event = events_[index];
    event.acknowledged = true;
    if (appender_) {
        // The acknowledgement's own time first; the last column names the event it acknowledges.
        AlarmEvent line = event;
        line.time = time;
        line.change = kAcknowledgement;
        appender_->Append(AlarmLogLine(line) + event.time + "\n");
    }
}

std::size_t AlarmLog::Acknowledge(const std::vector<std::size_t>& indices,
                                  std::chrono::system_clock::time_point when) {
    const std::string time = publish::IsoLocalTime(when);
    std::size_t count = 0;
    for (const std::size_t index : indices) {
        if (index < events_.size() && events_[index].needsAcknowledgement() && !events_[index].acknowledged) {
            AcknowledgeAt(index, time);
            ++count;
        }
    }
    return count;
}

std::size_t AlarmLog::AcknowledgeAll(std::chrono::system_clock::time_point when) {
    std::vector<std::size_t> all(events_.size());
    for (std::size_t index = 0; index < all.size(); ++index) {
        all[index] = index;
    }
    return Acknowledge(all, when);
}

std::size_t AlarmLog::unacknowledged() const {
    std::size_t count = 0;
    for (const AlarmEvent& event : events_) {
        count += event.needsAcknowledgement() && !event.acknowledged ? 1 : 0;
    }
    return count;
}

void AlarmLog::Flush() {
    if (appender_) {
        appender_->Flush();
    }
}

} // namespace hz70
