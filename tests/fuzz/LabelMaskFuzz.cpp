// SPDX-License-Identifier: GPL-3.0-or-later
// The chart's label masks come from the settings file: any mask, any value and either locale's
// separators must give a bounded text without reading or writing outside a buffer.
#include "views/core/FloatMask.h"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < sizeof(double) + 1) {
        return 0;
    }
    std::uint64_t bits = 0;
    std::memcpy(&bits, data, sizeof bits);
    const bool polish = (data[sizeof bits] & 1) != 0;
    const std::string_view mask(reinterpret_cast<const char*>(data) + sizeof bits + 1,
                                size - sizeof bits - 1);
    const std::string text = hz70::FormatFloatMask(mask, std::bit_cast<double>(bits), polish ? "," : ".",
                                                   polish ? "\xC2\xA0" : ",");
    // A mask repeats its text at most once per section; anything far longer is a runaway.
    if (text.size() > 4 * mask.size() + 400) {
        std::abort();
    }
    return 0;
}
