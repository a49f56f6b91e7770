// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FileReplacement.h"

#include <system_error>

namespace hz70 {

namespace fs = std::filesystem;

bool IsNewFileName(std::string_view name, std::string_view fileName) {
    if (name.size() != fileName.size() + kNewFileInfix.size() + kRandomCharacters ||
        name.substr(0, fileName.size()) != fileName ||
        name.substr(fileName.size(), kNewFileInfix.size()) != kNewFileInfix) {
        return false;
    }
    return name.substr(fileName.size() + kNewFileInfix.size()).find_first_not_of(kRandomAlphabet) ==
           std::string_view::npos;
}

fs::path FolderOf(const fs::path& file) {
    return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

fs::path ResolvedTarget(const fs::path& file) {
    std::error_code ignored;
    if (fs::is_symlink(file, ignored)) {
        if (auto target = fs::canonical(file, ignored); !ignored) {
            return target;
        }
    }
    return file;
}

} // namespace hz70
