// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "app/core/DurableAppender.h"
#include "model/PollTickResult.h"

#include <ctime>
#include <filesystem>
#include <memory>
#include <string>

namespace hz70 {

// Records every zone update as one CSV line in a file (the columns of hz70cli poll). Lines go to the
// disk on a thread of their own, each synced before the next batch, so the poll tick never waits for
// the disk and a crash or a power cut loses at most the last line.
class MeasurementRecorder {
public:
    MeasurementRecorder();
    // `sync` replaces the system's sync to the disk (tests).
    explicit MeasurementRecorder(DurableAppender::Sync sync);
    ~MeasurementRecorder();
    MeasurementRecorder(const MeasurementRecorder&) = delete;
    MeasurementRecorder& operator=(const MeasurementRecorder&) = delete;

    // Starts appending to `file`; a new or empty file gets the header line first. Returns the reason
    // when the file cannot be written (then nothing is recorded), else an empty text.
    [[nodiscard]] std::string Start(const std::filesystem::path& file);
    // Ends the recording once the lines recorded so far are on the disk.
    void Stop();
    // Queues the line of a tick that ended its zone's exchange and returns at once; other ticks make no
    // line. When an earlier line could not be written, recording stops and the reason is returned instead.
    [[nodiscard]] std::string Record(const PollTickResult& tick, const std::string& time);
    // Returns once every line recorded so far is on the disk or has failed.
    void Flush();

    [[nodiscard]] bool recording() const { return appender_ != nullptr; }
    [[nodiscard]] const std::filesystem::path& file() const { return file_; }

private:
    DurableAppender::Sync sync_;
    std::unique_ptr<DurableAppender> appender_;
    std::filesystem::path file_;
};

// The file offered for a day's recording: "HZ70wiz-YYYY-MM-DD.csv", the day taken from `local`.
[[nodiscard]] std::string DefaultRecordingName(const std::tm& local);
// The same for today, in local time.
[[nodiscard]] std::string TodaysRecordingName();

} // namespace hz70
