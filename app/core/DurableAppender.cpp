// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/DurableAppender.h"

#include "app/core/FileAccess.h"

#include <cerrno>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace hz70 {

DurableAppender::DurableAppender(int fd, Sync sync)
    : fd_(fd), sync_(std::move(sync)), writer_([this] { Run(); }) {}

DurableAppender::~DurableAppender() {
    {
        const std::lock_guard lock(mutex_);
        ending_ = true;
    }
    changed_.notify_all();
    writer_.join();
    ::close(fd_);
}

void DurableAppender::Append(std::string text) {
    {
        const std::lock_guard lock(mutex_);
        if (failure_) {
            return;
        }
        queued_ += std::move(text);
    }
    changed_.notify_all();
}

void DurableAppender::Flush() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return (queued_.empty() && !writing_) || failure_; });
}

std::error_code DurableAppender::failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
}

void DurableAppender::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return !queued_.empty() || ending_; });
        if (queued_.empty()) {
            return; // ending, and everything is on the disk
        }
        const std::string batch = std::exchange(queued_, {});
        writing_ = true;
        lock.unlock();
        const std::error_code failure = WriteToDisk(batch);
        lock.lock();
        writing_ = false;
        if (failure) {
            failure_ = failure;
            queued_.clear();
        }
        changed_.notify_all();
    }
}

std::error_code DurableAppender::WriteToDisk(const std::string& batch) const {
    std::size_t written = 0;
    while (written < batch.size()) {
        const ssize_t n = ::write(fd_, batch.data() + written, batch.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return {n < 0 ? errno : ENOSPC, std::generic_category()};
        }
        written += static_cast<std::size_t>(n);
    }
    // Files that cannot be synced (a pipe, a read-only mount's special files) are written as they are.
    const std::error_code synced = sync_(fd_);
    if (synced == std::errc::invalid_argument || synced == std::errc::read_only_file_system) {
        return {};
    }
    return synced;
}

std::variant<std::unique_ptr<DurableAppender>, std::error_code>
OpenDurableAppender(const std::filesystem::path& file, std::string_view header, DurableAppender::Sync sync) {
    const int fd = OpenForAppending(file);
    if (fd < 0) {
        return std::error_code(errno, std::generic_category());
    }
    struct stat status {};
    if (::fstat(fd, &status) != 0) {
        const std::error_code error(errno, std::generic_category());
        ::close(fd);
        return error;
    }
    auto appender = std::make_unique<DurableAppender>(fd, std::move(sync));
    if (status.st_size == 0) {
        appender->Append(std::string(header));
        appender->Flush();
        if (const std::error_code failure = appender->failure()) {
            return failure;
        }
    }
    return appender;
}

std::string StartAppending(std::unique_ptr<DurableAppender>& appender, const std::filesystem::path& file,
                           std::string_view header) {
    appender.reset();
    auto opened = OpenDurableAppender(file, std::string(header) + "\n",
                                      [](int descriptor) { return SyncToDisk(descriptor); });
    if (const auto* failure = std::get_if<std::error_code>(&opened)) {
        return failure->message();
    }
    appender = std::move(std::get<std::unique_ptr<DurableAppender>>(opened));
    return {};
}

} // namespace hz70
