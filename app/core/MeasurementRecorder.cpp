// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MeasurementRecorder.h"

#include "app/core/FileAccess.h"
#include "app/core/PollCsv.h"
#include "model/LocalTime.h"

#include <cstdio>
#include <utility>
#include <variant>

namespace hz70 {

MeasurementRecorder::MeasurementRecorder() : sync_([](int fd) { return SyncToDisk(fd); }) {}

MeasurementRecorder::MeasurementRecorder(DurableAppender::Sync sync) : sync_(std::move(sync)) {}

MeasurementRecorder::~MeasurementRecorder() {
    Stop();
}

std::string MeasurementRecorder::Start(const std::filesystem::path& file) {
    Stop();
    // The operator chose the file a moment ago: say now, not a tick later, when it takes nothing.
    auto opened = OpenDurableAppender(file, std::string(kPollCsvHeader) + "\n", sync_);
    if (const auto* failure = std::get_if<std::error_code>(&opened)) {
        return failure->message();
    }
    appender_ = std::move(std::get<std::unique_ptr<DurableAppender>>(opened));
    file_ = file;
    return {};
}

void MeasurementRecorder::Stop() {
    appender_.reset();
}

void MeasurementRecorder::Flush() {
    if (appender_) {
        appender_->Flush();
    }
}

std::string MeasurementRecorder::Record(const PollTickResult& tick, const std::string& time) {
    if (!appender_ || !tick.exchangeEnded()) {
        return {};
    }
    if (const std::error_code failure = appender_->failure()) {
        Stop();
        return failure.message();
    }
    appender_->Append(FormatPollLine(time, *tick.record) + "\n");
    return {};
}

std::string DefaultRecordingName(const std::tm& local) {
    char name[40];
    std::strftime(name, sizeof name, "HZ70wiz-%Y-%m-%d.csv", &local);
    return name;
}

std::string TodaysRecordingName() {
    return DefaultRecordingName(LocalTime(std::time(nullptr)));
}

} // namespace hz70
