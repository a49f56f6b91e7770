// SPDX-License-Identifier: GPL-3.0-or-later
#include "comm/ReceiveRing.h"

#include <algorithm>
#include <array>
#include <deque>
#include <gtest/gtest.h>
#include <vector>

namespace hz70 {
namespace {

// Every step appends `append` bytes numbered on from the last, then drops `drop`; the ring must hold what
// a plain queue of at most 511 bytes holds, through the wrap at the end of its array.
TEST(ReceiveRing, HoldsTheBytesInOrderAcrossTheWrapAndNoMoreThanItsCapacity) {
    struct Step {
        std::size_t append;
        std::size_t drop;
        std::size_t taken;
    };
    ReceiveRing ring;
    std::deque<std::uint8_t> queue;
    std::uint8_t next = 0;
    for (const Step step : {Step{300, 0, 300}, Step{300, 0, 211}, Step{10, 0, 0}, Step{0, 400, 0},
                            Step{350, 0, 350}, Step{0, 1000, 0}, Step{5, 2, 5}}) {
        std::vector<std::uint8_t> bytes;
        for (std::size_t i = 0; i < step.append; ++i) {
            bytes.push_back(next++);
        }
        EXPECT_EQ(ring.Append(bytes), step.taken);
        queue.insert(queue.end(), bytes.begin(), bytes.begin() + static_cast<long>(step.taken));
        ring.Drop(step.drop);
        queue.erase(queue.begin(), queue.begin() + static_cast<long>(std::min(step.drop, queue.size())));

        std::array<std::uint8_t, ReceiveRing::kSize> copy;
        const auto held = ring.CopyTo(copy);
        EXPECT_EQ(std::vector(held.begin(), held.end()), std::vector(queue.begin(), queue.end()));
        EXPECT_EQ(ring.size(), queue.size());
        EXPECT_EQ(ring.room(), ReceiveRing::kCapacity - queue.size());
    }
    ring.Clear();
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_EQ(ring.room(), ReceiveRing::kCapacity);
}

} // namespace
} // namespace hz70
