// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "model/Slohz70.h"

#include <ctime>
#include <filesystem>
#include <string>

namespace hz70 {

// Records every zone update as one CSV line in a file (the columns of hz70cli poll). Each line is on
// the disk before the next is written, so a crash or a power cut loses at most the line being written.
class MeasurementRecorder {
public:
    MeasurementRecorder() = default;
    ~MeasurementRecorder();
    MeasurementRecorder(const MeasurementRecorder&) = delete;
    MeasurementRecorder& operator=(const MeasurementRecorder&) = delete;

    // Starts appending to `file`; a new or empty file gets the header line first. Returns the reason
    // when the file cannot be written (then nothing is recorded), else an empty text.
    [[nodiscard]] std::string Start(const std::filesystem::path& file);
    void Stop();
    // Appends the zone's line. When it cannot be written, recording stops and the reason is returned.
    [[nodiscard]] std::string Record(const TRegulator& zone, const std::string& time);

    [[nodiscard]] bool recording() const { return fd_ >= 0; }
    [[nodiscard]] const std::filesystem::path& file() const { return file_; }

private:
    [[nodiscard]] std::string WriteLine(const std::string& line);

    int fd_ = -1;
    std::filesystem::path file_;
};

// The file offered for a day's recording: "HZ70wiz-YYYY-MM-DD.csv", the day taken from `local`.
[[nodiscard]] std::string DefaultRecordingName(const std::tm& local);
// The same for today, in local time.
[[nodiscard]] std::string TodaysRecordingName();

} // namespace hz70
