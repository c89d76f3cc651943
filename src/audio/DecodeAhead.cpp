#include "audio/DecodeAhead.h"

namespace lark {

DecodeAhead::DecodeAhead(std::vector<int> numbers, Decoder decode) : decode_(std::move(decode)) {
    for (int number : numbers) {
        auto slot = std::make_unique<Slot>();
        slot->number = number;
        slots_.push_back(std::move(slot));
    }
    worker_ = std::thread([this] { Work(); });
}

DecodeAhead::~DecodeAhead() {
    stop_.store(true, std::memory_order_relaxed);
    worker_.join();
}

void DecodeAhead::Work() {
    for (const auto& slot : slots_) {
        if (stop_.load(std::memory_order_relaxed)) {
            return;
        }
        int queued = kQueued;
        if (!slot->state.compare_exchange_strong(queued, kClaimed, std::memory_order_acquire)) {
            continue;  // the caller got there first
        }
        slot->clip = decode_ ? decode_(slot->number) : nullptr;
        slot->state.store(kReady, std::memory_order_release);
        slot->state.notify_all();
    }
}

std::optional<std::shared_ptr<const ClipData>> DecodeAhead::Take(int number) {
    for (const auto& slot : slots_) {
        if (slot->number != number) {
            continue;
        }
        int state = kQueued;
        if (slot->state.compare_exchange_strong(state, kTaken, std::memory_order_acquire)) {
            return decode_ ? decode_(number) : nullptr;  // not reached yet: no point waiting
        }
        while (state == kClaimed) {
            slot->state.wait(kClaimed, std::memory_order_acquire);
            state = slot->state.load(std::memory_order_acquire);
        }
        if (state != kReady) {
            return std::nullopt;
        }
        slot->state.store(kTaken, std::memory_order_relaxed);
        return std::move(slot->clip);
    }
    return std::nullopt;
}

}  // namespace lark
