// SPDX-License-Identifier: GPL-3.0-or-later
#include "publish/OutgoingQueue.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace hz70::publish {
namespace {

Message State(int zone, int number) {
    return {"hz70/l/zone/" + std::to_string(zone) + "/state", std::to_string(number)};
}

// Sends what the queue offers, acknowledging all or none; the payloads in the order they went.
std::vector<std::string> Drain(OutgoingQueue& queue, bool acknowledge) {
    std::vector<std::string> sent;
    while (const auto next = queue.next()) {
        sent.push_back(next->message.topic.substr(7) + '=' + next->message.payload);
        if (acknowledge) {
            queue.acknowledged(next->id);
        }
    }
    return sent;
}

TEST(OutgoingQueue, KeepsTheNewestStatesUpToItsBoundAndEveryZonesLatestAcrossReconnects) {
    OutgoingQueue queue(3);
    queue.keep({"hz70/l/zone/1/settings", "old"});
    queue.keep({"hz70/l/zone/1/settings", "new"});
    for (int number = 1; number <= 5; ++number) {
        queue.pushState(State(number % 2 + 1, number));
    }
    EXPECT_EQ(queue.queuedStates(), 3U);
    EXPECT_EQ(queue.droppedStates(), 2U);
    // Unanswered: everything goes again after the reconnect, the kept message first.
    EXPECT_EQ(Drain(queue, false), (std::vector<std::string>{"zone/1/settings=new", "zone/2/state=3",
                                                             "zone/1/state=4", "zone/2/state=5"}));
    EXPECT_EQ(queue.inFlight(), 4U);
    queue.reconnected();
    EXPECT_EQ(queue.inFlight(), 0U);
    EXPECT_EQ(Drain(queue, true), (std::vector<std::string>{"zone/1/settings=new", "zone/2/state=3",
                                                            "zone/1/state=4", "zone/2/state=5"}));
    EXPECT_EQ(queue.queuedStates(), 0U);

    // Delivered: an equal kept message is no news; the next connection repeats every zone's latest state,
    // ahead of newer ones queued meanwhile, so the newest stays the retained one.
    queue.keep({"hz70/l/zone/1/settings", "new"});
    EXPECT_TRUE(Drain(queue, true).empty());
    queue.pushState(State(2, 6));
    queue.reconnected();
    EXPECT_EQ(Drain(queue, true),
              (std::vector<std::string>{"zone/1/settings=new", "zone/1/state=4", "zone/2/state=6"}));
    EXPECT_EQ(queue.droppedStates(), 2U);
}

} // namespace
} // namespace hz70::publish
