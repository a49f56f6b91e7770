// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FileReplacement.h"
#include "app/core/PrivateFile.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <string>
#include <sys/random.h>
#include <unistd.h>

namespace hz70 {
namespace {

namespace fs = std::filesystem;

constexpr mode_t kOwnerOnly = 0600;

std::error_code LastError() {
    return {errno, std::system_category()};
}

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

// A name beside `target` that no one can guess or have created beforehand.
std::error_code NewFileName(const fs::path& target, fs::path& name) {
    std::array<unsigned char, kRandomCharacters> bytes{};
    if (::getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size())) {
        return LastError();
    }
    std::string random;
    for (const unsigned char byte : bytes) {
        random += kRandomAlphabet[byte % kRandomAlphabet.size()];
    }
    name = target;
    name += kNewFileInfix;
    name += random;
    return {};
}

// Opens a new file, only if its name is free and never through a link, readable by the owner alone.
std::error_code CreateNewFile(const fs::path& target, fs::path& name, int& fd) {
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        if (const std::error_code error = NewFileName(target, name)) {
            return error;
        }
        fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, kOwnerOnly);
        if (fd >= 0) {
            return {};
        }
        if (errno != EEXIST) {
            return LastError();
        }
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code WriteAndClose(int fd, std::string_view bytes) {
    const bool written = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    const std::error_code error = written ? std::error_code{} : LastError();
    if (::close(fd) != 0 && !error) {
        return LastError();
    }
    return error;
}

} // namespace

std::error_code ReplacePrivateFile(const fs::path& file, std::string_view bytes) {
    const fs::path target = ResolvedTarget(file);
    fs::path name;
    int fd = -1;
    if (const std::error_code error = CreateNewFile(target, name, fd)) {
        return error;
    }
    std::error_code error = WriteAndClose(fd, bytes);
    if (!error && ::rename(name.c_str(), target.c_str()) != 0) {
        error = LastError();
    }
    if (error) {
        ::unlink(name.c_str());
        return error;
    }
    // Makes the rename itself durable; a file system that cannot sync a folder keeps the data anyway.
    if (const int folder = ::open(FolderOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        folder >= 0) {
        (void)::fsync(folder);
        ::close(folder);
    }
    return {};
}

} // namespace hz70
