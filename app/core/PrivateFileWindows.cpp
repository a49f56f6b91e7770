// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/core/FileAccess.h"
#include "app/core/PrivateFile.h"

namespace hz70 {

// A new file in the user's folder inherits that folder's rights, which keep other users out.
std::error_code ReplacePrivateFile(const std::filesystem::path& file, std::string_view bytes) {
    return ReplaceFileContent(file, bytes);
}

} // namespace hz70
