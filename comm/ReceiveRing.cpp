// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/ReceiveRing.h"

#include <algorithm>

namespace hz70 {

std::size_t ReceiveRing::Append(std::span<const std::uint8_t> bytes) {
    const std::size_t count = std::min(bytes.size(), room());
    for (std::size_t i = 0; i < count; ++i) {
        bytes_[head_] = bytes[i];
        head_ = (head_ + 1) % kSize;
    }
    return count;
}

void ReceiveRing::Drop(std::size_t count) {
    tail_ = (tail_ + std::min(count, size())) % kSize;
}

std::span<const std::uint8_t> ReceiveRing::CopyTo(std::span<std::uint8_t, kSize> out) const {
    const std::size_t count = size();
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = bytes_[(tail_ + i) % kSize];
    }
    return out.first(count);
}

} // namespace hz70
