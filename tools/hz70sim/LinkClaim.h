// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <memory>
#include <string>

namespace hz70::sim {

// A simulator's claim on its --link path, so that a second simulator cannot take over (and on leaving
// remove) a link a running one serves. The claim is an flock on a lock file beside the link (".COM1.lock"
// for "./COM1") held for the simulator's whole run. The kernel drops the lock when its holder ends, however
// it ends (even killed), so a link left behind by a simulator that died is free to take, while one whose
// owner runs is refused. A pseudo-terminal number cannot tell this: a dead simulator's /dev/pts/N is soon
// another terminal's. The file holds the owner's process id, for the refusal.
class LinkClaim {
public:
    // Claims `linkPath`; nothing, with `error`, when a running simulator owns it or the lock file cannot
    // be made.
    [[nodiscard]] static std::unique_ptr<LinkClaim> Take(const std::string& linkPath, std::string& error);
    // Removes the lock file, then releases the lock.
    ~LinkClaim();
    LinkClaim(const LinkClaim&) = delete;
    LinkClaim& operator=(const LinkClaim&) = delete;

    // "./COM1 -> /dev/pts/3" when a link was there before the claim (left by a simulator that ended,
    // or made by hand), else empty: the caller says that it replaces it.
    [[nodiscard]] const std::string& leftBehind() const { return leftBehind_; }

private:
    LinkClaim(int fd, std::string lockPath) : fd_(fd), lockPath_(std::move(lockPath)) {}

    int fd_;
    std::string lockPath_;
    std::string leftBehind_;
};

// The lock file of `linkPath`: ".NAME.lock" in the link's folder.
[[nodiscard]] std::string LockPathFor(const std::string& linkPath);

} // namespace hz70::sim
