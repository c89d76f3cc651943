#include "platform/SpscQueue.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <thread>

namespace lark {
namespace {

class SpscQueueTest : public ::testing::Test {
  protected:
    SpscQueue<int, 8> queue;
};

TEST_F(SpscQueueTest, ItemsComeOutInTheOrderTheyWentIn) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(queue.Push(i));
    }
    int item = -1;
    for (int i = 0; i < 5; ++i) {
        ASSERT_TRUE(queue.Pop(item));
        EXPECT_EQ(item, i);
    }
    EXPECT_FALSE(queue.Pop(item));
    EXPECT_TRUE(queue.Empty());
}

TEST_F(SpscQueueTest, HoldsOneLessThanItsCapacityAndRefusesTheRest) {
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(queue.Push(i));
    }
    EXPECT_FALSE(queue.Push(99));
    int item = -1;
    ASSERT_TRUE(queue.Pop(item));
    EXPECT_EQ(item, 0);
    EXPECT_TRUE(queue.Push(7));  // room again after one left
}

TEST_F(SpscQueueTest, IndicesWrapAroundManyTimes) {
    int item = -1;
    for (int i = 0; i < 100; ++i) {
        ASSERT_TRUE(queue.Push(i));
        ASSERT_TRUE(queue.Push(-i));
        ASSERT_TRUE(queue.Pop(item));
        EXPECT_EQ(item, i);
        ASSERT_TRUE(queue.Pop(item));
        EXPECT_EQ(item, -i);
    }
}

TEST_F(SpscQueueTest, TwoThreadsPassEveryItemOnceAndInOrder) {
    struct Item {
        std::uint32_t sequence;
        std::uint32_t check;  // torn copies would break the pair
    };
    SpscQueue<Item, 64> shared;
    constexpr std::uint32_t kCount = 200'000;
    std::thread producer([&] {
        for (std::uint32_t i = 0; i < kCount;) {
            if (shared.Push(Item{i, ~i})) {
                ++i;
            } else {
                std::this_thread::yield();
            }
        }
    });
    std::uint32_t expected = 0;
    bool intact = true;
    while (expected < kCount) {
        Item item{};
        if (!shared.Pop(item)) {
            std::this_thread::yield();
            continue;
        }
        intact = intact && item.sequence == expected && item.check == ~expected;
        ++expected;
    }
    producer.join();
    EXPECT_TRUE(intact);
    EXPECT_TRUE(shared.Empty());
}

}  // namespace
}  // namespace lark
