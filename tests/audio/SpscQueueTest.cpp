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
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE(round);
        const int base = round * 10;
        for (int i = 0; i < 7; ++i) {
            ASSERT_TRUE(queue.Push(base + i));
        }
        EXPECT_FALSE(queue.Push(-1));
        ASSERT_TRUE(queue.Pop(item));
        EXPECT_EQ(item, base);
        EXPECT_TRUE(queue.Push(base + 7)) << "room again after one left";
        EXPECT_FALSE(queue.Push(-1));
        for (int i = 1; i <= 7; ++i) {
            ASSERT_TRUE(queue.Pop(item));
            EXPECT_EQ(item, base + i);
        }
        EXPECT_FALSE(queue.Pop(item));
        EXPECT_TRUE(queue.Empty());
        ASSERT_TRUE(queue.Push(0));  // the next round starts one slot further on
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
