// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace hz70 {

// The bytes received and not yet taken by the reply parser, oldest first. A fixed ring: it holds one
// byte less than its size, so that a full ring is never mistaken for an empty one, and never grows.
class ReceiveRing {
public:
    static constexpr std::size_t kSize = 512;
    static constexpr std::size_t kCapacity = kSize - 1;

    [[nodiscard]] std::size_t size() const { return (head_ + kSize - tail_) % kSize; }
    [[nodiscard]] std::size_t room() const { return kCapacity - size(); }

    // Appends as many of `bytes` as there is room for; returns how many that was.
    std::size_t Append(std::span<const std::uint8_t> bytes);
    // Gives up to `count` of the oldest bytes up.
    void Drop(std::size_t count);
    void Clear() { head_ = tail_ = 0; }
    // The bytes held, oldest first, copied into `out`.
    [[nodiscard]] std::span<const std::uint8_t> CopyTo(std::span<std::uint8_t, kSize> out) const;

private:
    std::array<std::uint8_t, kSize> bytes_{};
    std::size_t head_ = 0; // where the next byte goes
    std::size_t tail_ = 0; // the oldest byte
};

} // namespace hz70
