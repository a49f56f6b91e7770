// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <filesystem>
#include <string_view>
#include <system_error>

namespace hz70 {

// Replaces the content of `file` by `bytes`, for a file that holds a secret: the bytes go to a new file
// that only the user may read or write from its creation (0600 on POSIX; the system's default rights
// for the user's files on Windows), which is flushed and renamed over the old one, so that neither a
// crash nor a moment of the save shows the secret to anyone else. A symbolic link is followed and its
// target replaced. Never rewrites in place: a file that cannot be replaced that way is not written.
[[nodiscard]] std::error_code ReplacePrivateFile(const std::filesystem::path& file, std::string_view bytes);

} // namespace hz70
