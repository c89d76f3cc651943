#pragma once

#include <atomic>
#include <cstdint>

#include "audio/Mixer.h"

namespace lark {

// Decides when an output's stream may end: once it has rendered idleUs of silence with no Wake
// since. Wakes are counted in twos in one word whose low bit the audio thread sets as it ends
// the stream, so it can never end the stream past a Wake it has not seen: the Play that came
// with the Wake may not have reached the mixer yet.
class IdleStop {
  public:
    explicit IdleStop(double idleUs)
        : idleFrames_(static_cast<std::int64_t>(idleUs * kOutputRateHz / 1e6)) {}

    // GUI thread, with a Play. True when the stream had ended and must start again.
    bool Wake() {
        if ((wakes_.fetch_add(2) & 1) == 0) {
            return false;
        }
        wakes_.fetch_and(~std::uint64_t{1});
        return true;
    }
    // GUI thread, with the stream stopped because starting it again failed: the next Wake
    // tries again.
    void Stopped() { wakes_.fetch_or(1); }

    // Audio thread: a buffer of `frames` was rendered, with voices still sounding or not.
    // False when the stream should end now.
    bool Rendered(std::int64_t frames, bool sounding) {
        return Rendered(frames, sounding, wakes_.load());
    }
    // The same, given the count of wakes read after rendering; a Wake may come between that
    // read and the decision.
    bool Rendered(std::int64_t frames, bool sounding, std::uint64_t wakes) {
        silentFrames_ = sounding || wakes != wakesSeen_ ? 0 : silentFrames_ + frames;
        wakesSeen_ = wakes;
        if (silentFrames_ < idleFrames_) {
            return true;
        }
        silentFrames_ = 0;  // counts afresh once the stream starts again
        std::uint64_t expected = wakes;
        return !wakes_.compare_exchange_strong(expected, wakes | 1);
    }
    std::uint64_t Wakes() const { return wakes_.load(); }

    // Audio thread: ends the stream now if no Wake has ever come (it ran only to measure
    // itself). False when the stream should end.
    bool EndIfNeverWoken() {
        std::uint64_t never = 0;
        return !wakes_.compare_exchange_strong(never, 1);
    }

  private:
    const std::int64_t idleFrames_;
    std::atomic<std::uint64_t> wakes_{0};
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
    // Audio thread.
    std::uint64_t wakesSeen_ = 0;
    std::int64_t silentFrames_ = 0;
};

}  // namespace lark
