// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>
#include <thread>
#include <variant>

namespace hz70 {

// Appends text to an open file on a thread of its own and puts it on the disk there, so that whoever
// appends never waits for the disk. Each batch is written and synced before the next is taken; what
// arrives while a sync runs forms the next batch, so a power cut loses at most the text appended since
// the last sync began: at one line per poll tick and a sync shorter than the tick, the last line.
class DurableAppender {
public:
    // `sync` puts what was written through a descriptor on the disk.
    using Sync = std::function<std::error_code(int fd)>;

    // Takes over `fd`; it is closed when the appender ends.
    DurableAppender(int fd, Sync sync);
    // Writes and syncs what is still queued, then closes the file.
    ~DurableAppender();
    DurableAppender(const DurableAppender&) = delete;
    DurableAppender& operator=(const DurableAppender&) = delete;

    // Queues `text` and returns at once. After a failure nothing more is written.
    void Append(std::string text);
    // Returns once everything appended so far is on the disk or has failed.
    void Flush();
    // The first failed write or sync; none while all is well.
    [[nodiscard]] std::error_code failure() const;

private:
    void Run();
    // Writes and syncs one batch with the lock released.
    [[nodiscard]] std::error_code WriteToDisk(const std::string& batch) const;

    const int fd_;
    const Sync sync_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::string queued_;
    bool writing_ = false;
    bool ending_ = false;
    std::error_code failure_;
    std::thread writer_;
};

// Opens `file` for appending, creating it, and puts `header` on the disk first when the file is empty.
// The appender, or why the file cannot be written (said now, not at the first line).
[[nodiscard]] std::variant<std::unique_ptr<DurableAppender>, std::error_code>
OpenDurableAppender(const std::filesystem::path& file, std::string_view header, DurableAppender::Sync sync);

// A log's start: `appender` (whatever it held is finished first) appends to `file` from now on, each line
// synced to the disk; a new file begins with the `header` line. Empty, or why the file cannot be written.
[[nodiscard]] std::string StartAppending(std::unique_ptr<DurableAppender>& appender,
                                         const std::filesystem::path& file, std::string_view header);

} // namespace hz70
