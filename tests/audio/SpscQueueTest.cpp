#include "audio/SpscQueue.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <thread>

namespace lark {
namespace {

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
}

}  // namespace
}  // namespace lark
