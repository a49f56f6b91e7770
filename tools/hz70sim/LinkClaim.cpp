// SPDX-License-Identifier: GPL-3.0-or-later
#include "hz70sim/LinkClaim.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace hz70::sim {

namespace {

// A few rounds are enough: a retry happens only when an owner removed the file as we opened it.
constexpr int kClaimAttempts = 5;

std::string SystemError(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The owner's process id as it wrote it, or empty while it is still writing it.
std::string OwnerOf(int fd) {
    std::array<char, 32> text{};
    const ssize_t length = ::pread(fd, text.data(), text.size() - 1, 0);
    std::string owner(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
    while (!owner.empty() && (owner.back() == '\n' || owner.back() == ' ')) {
        owner.pop_back();
    }
    return owner;
}

// True while `path` still names the file open on `fd`: an owner that ends removes its file, and a lock
// won on the removed file would guard nothing.
bool StillNamed(int fd, const std::string& path) {
    struct stat opened {};
    struct stat named {};
    return ::fstat(fd, &opened) == 0 && ::stat(path.c_str(), &named) == 0 && opened.st_dev == named.st_dev &&
           opened.st_ino == named.st_ino;
}

std::string ExistingLink(const std::string& linkPath) {
    std::array<char, 4096> target{};
    const ssize_t length = ::readlink(linkPath.c_str(), target.data(), target.size() - 1);
    return length > 0 ? linkPath + " -> " + std::string(target.data(), static_cast<std::size_t>(length)) : "";
}

} // namespace

std::string LockPathFor(const std::string& linkPath) {
    const std::filesystem::path link(linkPath);
    return (link.parent_path() / ("." + link.filename().string() + ".lock")).string();
}

std::unique_ptr<LinkClaim> LinkClaim::Take(const std::string& linkPath, std::string& error) {
    const std::string lockPath = LockPathFor(linkPath);
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        const int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            error = SystemError("cannot make the lock file " + lockPath);
            return nullptr;
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            const bool owned = errno == EWOULDBLOCK;
            const std::string owner = owned ? OwnerOf(fd) : "";
            error = owned ? linkPath + " belongs to a running hz70sim" +
                                (owner.empty() ? "" : " (process " + owner + ")") +
                                "; stop it first or choose another --link"
                          : SystemError("cannot lock " + lockPath);
            ::close(fd);
            return nullptr;
        }
        if (!StillNamed(fd, lockPath)) {
            ::close(fd);
            continue;
        }
        const std::string pid = std::to_string(::getpid()) + "\n";
        if (::ftruncate(fd, 0) != 0 ||
            ::pwrite(fd, pid.data(), pid.size(), 0) != static_cast<ssize_t>(pid.size())) {
            error = SystemError("cannot write the lock file " + lockPath);
            ::unlink(lockPath.c_str());
            ::close(fd);
            return nullptr;
        }
        std::unique_ptr<LinkClaim> claim(new LinkClaim(fd, lockPath));
        claim->leftBehind_ = ExistingLink(linkPath);
        return claim;
    }
    error = "cannot claim " + linkPath + ": its lock file " + lockPath + " keeps changing";
    return nullptr;
}

LinkClaim::~LinkClaim() {
    ::unlink(lockPath_.c_str());
    ::close(fd_); // releases the lock
}

} // namespace hz70::sim
