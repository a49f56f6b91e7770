// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/MeasurementRecorder.h"

#include "app/core/FileAccess.h"
#include "app/core/LocalTime.h"
#include "app/core/PollCsv.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace hz70 {

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
    fd_ = fd;
    file_ = file;
    if (status.st_size == 0) {
        return WriteLine(kPollCsvHeader);
    }
    return {};
}

void MeasurementRecorder::Stop() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

std::string MeasurementRecorder::Record(const TRegulator& zone, const std::string& time) {
    if (fd_ < 0) {
        return {};
    }
    return WriteLine(FormatPollLine(time, zone));
}

std::string MeasurementRecorder::WriteLine(const std::string& text) {
    const std::string line = text + "\n";
    std::size_t written = 0;
    while (written < line.size()) {
        const ssize_t n = ::write(fd_, line.data() + written, line.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            const std::string reason = std::strerror(n < 0 ? errno : ENOSPC);
            Stop();
            return reason;
        }
        written += static_cast<std::size_t>(n);
    }
    // On the disk, not only in the system's cache: a power cut then loses nothing written before.
    if (SyncToDisk(fd_) != 0 && errno != EINVAL && errno != EROFS) {
        const std::string reason = std::strerror(errno);
        Stop();
        return reason;
    }
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
