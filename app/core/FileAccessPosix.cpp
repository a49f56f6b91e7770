// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FileAccess.h"
#include "app/core/FileReplacement.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kOwnerOnly = 0600;

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

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Makes the rename itself durable. Some file systems cannot sync a directory; the data is safe anyway.
void SyncDirectory(const fs::path& directory) {
    const FileDescriptor dir(::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        (void)::fsync(dir.get());
    }
}

std::error_code RandomCharacters(std::string& text) {
    std::array<unsigned char, kRandomCharacters> bytes{};
    // Requests this small are never cut short once the kernel's random source is ready.
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        return LastError();
    }
    text.clear();
    for (const unsigned char byte : bytes) {
        text += kRandomAlphabet[byte % kRandomAlphabet.size()];
    }
    return {};
}

// A new file beside the one it is to replace. It stays locked while open, so that no other save takes
// it for a leftover, and is removed again unless it was renamed into place.
class NewFile {
public:
    NewFile() = default;
    ~NewFile() {
        if (fd_ >= 0) {
            if (!renamed_) {
                ::unlink(name_.c_str());
            }
            ::close(fd_);
        }
    }
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Created only if the random name is free, never through a link.
    std::error_code Create(const fs::path& target, mode_t mode) {
        std::string random;
        for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
            if (const std::error_code error = RandomCharacters(random)) {
                return error;
            }
            fs::path name = target;
            name += kNewFileInfix;
            name += random;
            const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode);
            if (fd < 0) {
                if (errno == EEXIST) {
                    continue;
                }
                return LastError();
            }
            if (TakenByCleanUp(fd)) {
                ::close(fd);
                continue;
            }
            fd_ = fd;
            name_ = std::move(name);
            return {};
        }
        return std::make_error_code(std::errc::file_exists);
    }

    std::error_code RenameTo(const fs::path& target) {
        if (::rename(name_.c_str(), target.c_str()) != 0) {
            return LastError();
        }
        renamed_ = true;
        return {};
    }

    [[nodiscard]] int fd() const { return fd_; }

private:
    // Another save's clean-up may have locked the file between its creation and our lock; it removes
    // it. A file system without locks leaves the file unlocked, and the clean-up leaves it alone.
    static bool TakenByCleanUp(int fd) {
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
            return true;
        }
        struct stat status {};
        return ::fstat(fd, &status) != 0 || status.st_nlink == 0;
    }

    int fd_ = -1;
    fs::path name_;
    bool renamed_ = false;
};

// Removes a new file that an interrupted save left behind: only a plain file of this user that no save
// holds locked, and only while its name still leads to the file that was checked.
void RemoveIfAbandoned(const fs::path& file) {
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat opened {};
    struct stat named {};
    if (fd.valid() && ::fstat(fd.get(), &opened) == 0 && S_ISREG(opened.st_mode) &&
        opened.st_uid == ::geteuid() && ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0 &&
        ::lstat(file.c_str(), &named) == 0 && SameFile(named, opened)) {
        ::unlink(file.c_str());
    }
}

void RemoveLeftoverNewFiles(const fs::path& target) {
    const std::string fileName = target.filename().string();
    std::error_code error;
    for (auto entry = fs::directory_iterator(FolderOf(target), error);
         !error && entry != fs::directory_iterator(); entry.increment(error)) {
        if (IsNewFileName(entry->path().filename().string(), fileName)) {
            RemoveIfAbandoned(entry->path());
        }
    }
}

// The new file must keep the old one's owner and group, or other users could lose the file.
std::error_code TakeOwnerOf(int fd, const struct stat& old) {
    struct stat created {};
    if (::fstat(fd, &created) != 0) {
        return LastError();
    }
    if (created.st_uid == old.st_uid && created.st_gid == old.st_gid) {
        return {};
    }
    return ::fchown(fd, old.st_uid, old.st_gid) == 0 ? std::error_code{} : LastError();
}

// `old` (the file replaced) gives the new file its owner and mode; without it the file gets `mode`.
std::error_code ReplaceByNewFile(const fs::path& target, std::string_view bytes, const struct stat* old,
                                 mode_t mode = 0666) {
    NewFile file;
    // A file that exists keeps its mode; until the new one has it, no one else may read it.
    if (const std::error_code error = file.Create(target, old != nullptr ? kOwnerOnly : mode)) {
        return error;
    }
    if (old != nullptr) {
        // The owner first: a change of owner clears set-id bits of the mode.
        if (const std::error_code error = TakeOwnerOf(file.fd(), *old)) {
            return error;
        }
        if (::fchmod(file.fd(), old->st_mode & 07777) != 0) {
            return LastError();
        }
    }
    if (!WriteAll(file.fd(), bytes) || ::fsync(file.fd()) != 0) {
        return LastError();
    }
    if (const std::error_code error = file.RenameTo(target)) {
        return error;
    }
    SyncDirectory(FolderOf(target));
    return {};
}

// Ways in which the folder or the mount refuses the new file or its rename, or the new file cannot take
// the old one's owner, while the old file itself may still be writable.
bool NewFileRefused(const std::error_code& error) {
    return error == std::errc::permission_denied || error == std::errc::operation_not_permitted ||
           error == std::errc::read_only_file_system || error == std::errc::device_or_resource_busy;
}

// Overwrites the file where it is. A crash part way leaves a broken file, so this is only the fallback.
// Overwriting before cutting reuses the file's blocks, so a full disk seldom stops it.
std::error_code WriteInPlace(const fs::path& target, std::string_view bytes) {
    FileDescriptor fd(::open(target.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    struct stat status {};
    if (!fd.valid() || ::fstat(fd.get(), &status) != 0 || !WriteAll(fd.get(), bytes)) {
        return LastError();
    }
    if (S_ISREG(status.st_mode) &&
        (::ftruncate(fd.get(), static_cast<off_t>(bytes.size())) != 0 || ::fsync(fd.get()) != 0)) {
        return LastError();
    }
    return fd.Close() ? std::error_code{} : LastError();
}

} // namespace

std::string ReadSmallFile(const fs::path& file, std::size_t maxBytes, std::error_code& error) {
    error.clear();
    // Non-blocking, so that a pipe put in the file's place cannot stop the program.
    const FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
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
            return bytes;
        }
        if (got == 0) {
            return bytes;
        }
        bytes.append(buffer, static_cast<std::size_t>(got));
        if (bytes.size() > maxBytes) {
            error = std::make_error_code(std::errc::file_too_large);
            bytes.resize(maxBytes);
            return bytes;
        }
    }
}

std::error_code ReplaceFileContent(const fs::path& file, std::string_view bytes) {
    const fs::path target = ResolvedTarget(file);
    struct stat old {};
    const bool exists = ::stat(target.c_str(), &old) == 0;
    if (exists && ::access(target.c_str(), W_OK) != 0) {
        return LastError();
    }
    // A new file would cut the other hard links off, or replace the device or pipe the name leads to.
    if (exists && (!S_ISREG(old.st_mode) || old.st_nlink > 1)) {
        return WriteInPlace(target, bytes);
    }
    RemoveLeftoverNewFiles(target);
    const std::error_code error = ReplaceByNewFile(target, bytes, exists ? &old : nullptr);
    return exists && NewFileRefused(error) ? WriteInPlace(target, bytes) : error;
}

std::error_code ReplacePrivateFile(const fs::path& file, std::string_view bytes) {
    const fs::path target = ResolvedTarget(file);
    RemoveLeftoverNewFiles(target);
    return ReplaceByNewFile(target, bytes, nullptr, kOwnerOnly);
}

int OpenForAppending(const fs::path& file) {
    return ::open(file.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
}

std::error_code SyncToDisk(int fd) {
    return ::fdatasync(fd) == 0 ? std::error_code() : std::error_code(errno, std::generic_category());
}

} // namespace hz70
