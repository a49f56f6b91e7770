// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MeasurementRecorder.h"

#include "app/core/FileAccess.h"
#include "app/core/PollCsv.h"
#include "model/LocalTime.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hz70 {

MeasurementRecorder::MeasurementRecorder() : sync_([](int fd) { return SyncToDisk(fd); }) {}

MeasurementRecorder::MeasurementRecorder(DurableAppender::Sync sync) : sync_(std::move(sync)) {}

MeasurementRecorder::~MeasurementRecorder() {
    Stop();
}

std::string MeasurementRecorder::Start(const std::filesystem::path& file) {
    Stop();
    const int fd = OpenForAppending(file);
    if (fd < 0) {
        return std::strerror(errno);
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const int error = errno;
        ::close(fd);
        return std::strerror(error);
    }
    auto appender = std::make_unique<DurableAppender>(fd, sync_);
    if (status.st_size == 0) {
        // The operator chose the file a moment ago: say now, not a tick later, when it takes nothing.
        appender->Append(std::string(kPollCsvHeader) + "\n");
        appender->Flush();
        if (const std::error_code failure = appender->failure()) {
            return failure.message();
        }
    }
    appender_ = std::move(appender);
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
