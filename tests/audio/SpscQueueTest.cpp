#include "audio/SpscQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace lark {
namespace {

TEST(SpscQueueTest, HoldsOneLessThanItsCapacityInOrderFromEveryStartingSlot) {
    SpscQueue<int, 8> queue;
    int item = -1;
    for (int round = 0; round < 16; ++round) {  // each round starts one slot further on
        SCOPED_TRACE(round);
        for (int i = 0; i < 7; ++i) {
            ASSERT_TRUE(queue.Push(round + i));
        }
        EXPECT_FALSE(queue.Push(-1)) << "full";
        for (int i = 0; i < 7; ++i) {
            ASSERT_TRUE(queue.Pop(item));
            EXPECT_EQ(item, round + i);
        }
        EXPECT_FALSE(queue.Pop(item));
        EXPECT_TRUE(queue.Empty());
        ASSERT_TRUE(queue.Push(0));
        ASSERT_TRUE(queue.Pop(item));
    }
}

TEST(SpscQueueTest, TwoThreadsPassEveryItemOnceAndInOrder) {
    struct Item {
        std::uint32_t sequence;
        std::uint32_t check;  // torn copies would break the pair
    };
    SpscQueue<Item, 64> shared;
    constexpr std::uint32_t kCount = 200'000;
    // Both sides give up at this time: a queue that stops passing items fails, not hangs.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto inTime = [giveUp] { return std::chrono::steady_clock::now() < giveUp; };
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kCount && inTime();) {
            if (shared.Push(Item{i, ~i})) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    bool intact = true;
    std::uint32_t expected = 0;
    while (expected < kCount && inTime()) {
        Item item{};
        if (!shared.Pop(item)) {
            std::this_thread::yield();
            continue;
        }
        intact = intact && item.sequence == expected && item.check == ~expected;
        ++expected;
    }
    producer.join();
    EXPECT_EQ(expected, kCount);
    EXPECT_TRUE(intact);
    EXPECT_TRUE(shared.Empty());
}

}  // namespace
}  // namespace lark
