// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace hz70 {

// Reads a whole file of at most `maxBytes` bytes. On failure `error` is set and what could be read
// comes back: the first `maxBytes` bytes of a larger file (std::errc::file_too_large), or the bytes
// read before the system reported its error.
[[nodiscard]] std::string ReadSmallFile(const std::filesystem::path& file, std::size_t maxBytes,
                                        std::error_code& error);

// Replaces the content of `file` by `bytes`; a symbolic link is followed and its target changed.
// First choice: the bytes go to a new file beside it, are flushed to the disk, and the new file is
// renamed over the old one, so that a crash or power cut at any moment leaves the old content or the
// new one. The new file gets a name no one can guess, is created only if that name is free and never
// through a link. Where a new file cannot take the old one's place (a folder that refuses new files or
// renames, a file mounted on its own, another owner, other hard links, not a plain file), the file is
// rewritten in place as a plain save would. New files that interrupted saves left beside it are
// removed. A file the user may not write is refused.
[[nodiscard]] std::error_code ReplaceFileContent(const std::filesystem::path& file, std::string_view bytes);

// The same for a file that holds a secret: the new file is readable and writable by the user alone from its
// creation (0600 on POSIX; on Windows a new file in the user's folder inherits rights that keep other
// users out), whatever the old file allowed. Never rewrites in place: a file that cannot be replaced by
// a new one is not written.
[[nodiscard]] std::error_code ReplacePrivateFile(const std::filesystem::path& file, std::string_view bytes);

// Opens `file` for appending, creating it, with bytes written as they are (no line-end translation) and
// the descriptor kept from child programs: a descriptor, or -1 with errno set.
[[nodiscard]] int OpenForAppending(const std::filesystem::path& file);

// Puts what was written through `fd` on the disk, not only in the system's cache.
[[nodiscard]] std::error_code SyncToDisk(int fd);

} // namespace hz70
