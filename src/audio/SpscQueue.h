#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <type_traits>

namespace lark {

// A bounded lock-free queue for exactly one producer thread and one consumer thread. Neither
// side blocks or allocates: a full queue refuses the item, an empty one reports so. Holds up
// to Capacity - 1 items; Capacity is a power of two so indices wrap with a mask.
template <typename T, std::size_t Capacity>
class SpscQueue {
    static_assert(Capacity >= 2 && (Capacity & (Capacity - 1)) == 0,
                  "capacity must be a power of two");
    static_assert(std::is_trivially_copyable_v<T>, "items are copied on the audio thread");

  public:
    // Producer thread only. False when the queue is full; the item is then dropped.
    bool Push(const T& item) {
        const std::size_t tail = tail_.load(std::memory_order_relaxed);
        const std::size_t next = (tail + 1) & kMask;
        if (next == head_.load(std::memory_order_acquire)) {
            return false;
        }
        items_[tail] = item;
        tail_.store(next, std::memory_order_release);
        return true;
    }

    // Consumer thread only. False when the queue is empty.
    bool Pop(T& item) {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return false;
        }
        item = items_[head];
        head_.store((head + 1) & kMask, std::memory_order_release);
        return true;
    }

    // Consumer thread only. The item Pop would take next, left in the queue; false when empty.
    bool Peek(T& item) const {
        const std::size_t head = head_.load(std::memory_order_relaxed);
        if (head == tail_.load(std::memory_order_acquire)) {
            return false;
        }
        item = items_[head];
        return true;
    }

    // Either thread; only a snapshot, stale as soon as it is read.
    bool Empty() const {
        return head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_acquire);
    }

  private:
    static constexpr std::size_t kMask = Capacity - 1;

    // Apart, so the two threads do not fight over one cache line.
    alignas(64) std::atomic<std::size_t> head_{0};
    alignas(64) std::atomic<std::size_t> tail_{0};
    static_assert(std::atomic<std::size_t>::is_always_lock_free, "the audio thread never waits");
    std::array<T, Capacity> items_{};
};

}  // namespace lark
