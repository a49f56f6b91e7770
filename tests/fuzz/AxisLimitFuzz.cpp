// SPDX-License-Identifier: GPL-3.0-or-later
// The Y-axis dialog's limits are typed by the operator: any text, with either locale's decimal
// separator, is a number or a refusal, never a crash.
#include "views/core/AxisDialog.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    (void)hz70::ParseAxisLimit(text, ",");
    (void)hz70::ParseAxisLimit(text, ".");
    return 0;
}
