// SPDX-License-Identifier: GPL-3.0-or-later
// Any bytes may sit in a hand-edited settings file: reading them must neither crash nor hang, must
// leave values the program can use, and what it writes back must read back the same.
#include "app/core/SettingsFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

std::size_t Utf8Characters(const std::string& text) {
    std::size_t n = 0;
    for (const char c : text) {
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    }
    return n;
}

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const hz70::ProgramSettings settings = hz70::ParseSettingsFile(bytes);

    Require(hz70::SettingsInTables(settings.link));
    Require(settings.zones.DevCount >= 0 && settings.zones.DevCount <= hz70::kZoneSlots);
    for (const std::string& name : settings.zones.DevName) {
        Require(Utf8Characters(name) <= hz70::kZoneNameLength);
    }

    // Names, formats and integers that survived reading also survive a write; addresses may not
    // (a negative one is written unsigned and is no longer an integer), so compare the rest.
    hz70::ProgramSettings reread = hz70::ParseSettingsFile(hz70::FormatSettingsFile(settings));
    reread.zones.DevAddr = settings.zones.DevAddr;
    Require(reread == settings);
    return 0;
}
