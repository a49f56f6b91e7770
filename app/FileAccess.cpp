// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/FileAccess.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hz70 {
namespace {

std::error_code LastError() {
    return {errno, std::system_category()};
}

// Closes the descriptor when it goes out of scope.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;

    [[nodiscard]] int get() const { return fd_; }
    [[nodiscard]] bool valid() const { return fd_ >= 0; }
    // Closes now, so that an error the close reports (a delayed write failure) can be seen.
    [[nodiscard]] bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

// The file a write to `file` really changes: the target of a symbolic link, else the file itself.
std::filesystem::path ResolvedTarget(const std::filesystem::path& file) {
    std::error_code ignored;
    if (std::filesystem::is_symlink(file, ignored)) {
        if (auto target = std::filesystem::canonical(file, ignored); !ignored) {
            return target;
        }
    }
    return file;
}

// Makes the rename itself durable. Some file systems cannot sync a directory; the data is safe anyway.
void SyncDirectory(const std::filesystem::path& directory) {
    const FileDescriptor dir(
        ::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        (void)::fsync(dir.get());
    }
}

std::error_code WriteNewFile(const std::filesystem::path& temporary, std::string_view bytes,
                             const struct stat* modeOf) {
    FileDescriptor fd(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
    if (!fd.valid()) {
        return LastError();
    }
    if (modeOf != nullptr) {
        (void)::fchmod(fd.get(), modeOf->st_mode & 07777);
    }
    if (!WriteAll(fd.get(), bytes) || ::fsync(fd.get()) != 0 || !fd.Close()) {
        return LastError();
    }
    return {};
}

} // namespace

std::string ReadSmallFile(const std::filesystem::path& file, std::size_t maxBytes, std::error_code& error) {
    error.clear();
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid()) {
        error = LastError();
        return {};
    }
    std::string bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = LastError();
            return {};
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            return {};
        }
    }
}

std::error_code WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes) {
    const std::filesystem::path target = ResolvedTarget(file);
    struct stat existing {};
    const bool exists = ::stat(target.c_str(), &existing) == 0;
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return LastError();
    }
    std::filesystem::path temporary = target;
    temporary += ".new";
    if (const std::error_code error = WriteNewFile(temporary, bytes, exists ? &existing : nullptr)) {
        ::unlink(temporary.c_str());
        return error;
    }
    if (::rename(temporary.c_str(), target.c_str()) != 0) {
        const std::error_code error = LastError();
        ::unlink(temporary.c_str());
        return error;
    }
    SyncDirectory(target.parent_path());
    return {};
}

} // namespace hz70
