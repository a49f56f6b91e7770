// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <cstddef>
#include <filesystem>
#include <string_view>

namespace hz70 {

// What every system's way of replacing a file through a new one shares. A new file is named after the
// file it replaces, this infix and random characters of the alphabet: 72 random bits, so no one can
// pre-create the name, and leftovers are recognised whichever system left them.
inline constexpr std::string_view kNewFileInfix = ".new-";
inline constexpr std::size_t kRandomCharacters = 12;
inline constexpr std::string_view kRandomAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
static_assert(kRandomAlphabet.size() == 64);
// Names tried before a save gives up on a new file.
inline constexpr int kNameAttempts = 100;

// Whether `name` is a new file's name for the file named `fileName`.
[[nodiscard]] bool IsNewFileName(std::string_view name, std::string_view fileName);

// The folder `file` lies in ("." for a bare name).
[[nodiscard]] std::filesystem::path FolderOf(const std::filesystem::path& file);

// The file a write to `file` really changes: the target of a symbolic link, else the file itself.
[[nodiscard]] std::filesystem::path ResolvedTarget(const std::filesystem::path& file);

} // namespace hz70
