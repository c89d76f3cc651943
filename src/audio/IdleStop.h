#pragma once

#include <atomic>
#include <cstdint>

#include "audio/Mixer.h"

namespace lark {

// Decides when an output's stream may end: once it has rendered kIdleUs of silence with no Wake
// since, so an idle app makes no wakeups and holds no device busy. Wakes are counted in twos in
// one word whose low bit says the stream has ended; the audio thread sets it as it ends the
// stream, so it can never end the stream past a Wake it has not seen: the Play that came with
// the Wake may not have reached the mixer yet.
class IdleStop {
  public:
    // Silence after which a stream ends: longer than any pause within a performance.
    static constexpr double kIdleUs = 3'000'000;

    explicit IdleStop(bool running, double idleUs = kIdleUs)
        : idleFrames_(static_cast<std::int64_t>(idleUs * kOutputRateHz / 1e6)),
          wakes_(running ? 0 : 1) {}

    // With a Play: counts the Wake. True when the stream had ended and must start
    // again; the caller starts it.
    bool WakeNeedsStart() {
        if ((wakes_.fetch_add(2) & 1) == 0) {
            return false;
        }
        wakes_.fetch_and(~std::uint64_t{1});
        return true;
    }
    // [any] The stream is not running (a start failed, the device went away), so the next
    // Wake starts it again.
    void Stopped() { wakes_.fetch_or(1); }

    // [audio] A buffer of `frames` was rendered, with voices still sounding or not. True when
    // the stream must end now; it then counts as ended.
    bool EndsNow(std::int64_t frames, bool sounding) {
        return EndsNow(frames, sounding, wakes_.load());
    }
    // The same, given the count of wakes read after rendering; a Wake may come between that
    // read and the decision.
    bool EndsNow(std::int64_t frames, bool sounding, std::uint64_t wakes) {
        silentFrames_ = sounding || wakes != wakesSeen_ ? 0 : silentFrames_ + frames;
        wakesSeen_ = wakes;
        if (silentFrames_ < idleFrames_) {
            return false;
        }
        silentFrames_ = 0;  // counts afresh once the stream starts again
        std::uint64_t expected = wakes;
        return wakes_.compare_exchange_strong(expected, wakes | 1);
    }
    std::uint64_t Wakes() const { return wakes_.load(); }

    // [audio] For a stream that ran only to measure itself: true, and counted as ended, when no
    // Wake has ever come.
    bool EndsNowIfNeverWoken() {
        std::uint64_t never = 0;
        return wakes_.compare_exchange_strong(never, 1);
    }

  private:
    const std::int64_t idleFrames_;
    std::atomic<std::uint64_t> wakes_;
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    // [audio]
    std::uint64_t wakesSeen_ = 0;
    std::int64_t silentFrames_ = 0;
};

}  // namespace lark
