// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace hz70 {

// Reads a whole file of at most `maxBytes` bytes. A larger file is refused with
// std::errc::file_too_large; any other failure comes back as the system's error.
[[nodiscard]] std::string ReadSmallFile(const std::filesystem::path& file, std::size_t maxBytes,
                                        std::error_code& error);

// Replaces `file` by `bytes` so that a crash or power cut at any moment leaves either the old content
// or the new one: the bytes go to a new file beside it, are flushed to the disk, and the new file is
// renamed over the old one. A symbolic link is followed and its target replaced. A file the user may
// not write is refused as before, although the rename could replace it.
[[nodiscard]] std::error_code WriteFileAtomically(const std::filesystem::path& file, std::string_view bytes);

} // namespace hz70
