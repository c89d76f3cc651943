#pragma once

#include <array>
#include <atomic>
#include <cmath>
#include <cstddef>
#include <cstdint>

#include "audio/ClipData.h"
#include "audio/SpscQueue.h"

namespace lark {

// The one sample rate of the sound path: every output runs at it and every clip is decoded to it.
inline constexpr int kOutputRateHz = 48000;

// Maps clock readings to frames of the mixer's timeline: the reading originUs sounds at
// frame originFrame, and every microsecond after it is rate / 1e6 frames later.
struct FrameMap {
    double originUs = 0;
    std::int64_t originFrame = 0;
    double rate = kOutputRateHz;

    std::int64_t FrameAt(double us) const {
        return originFrame + std::llround((us - originUs) * rate / 1e6);
    }
};

// "Start this clip at this clock reading with this gain", from the GUI thread to the audio
// thread. The clip must stay alive while the mixer may use it; the sender keeps it.
struct PlayCommand {
    const ClipData* clip = nullptr;
    double atUs = 0;
    float gain = 1;
};

// Sums the sounding clips into the output. Each command starts a new voice, so a clip started
// again while it still sounds is heard twice. The pool is fixed; when every voice is busy the
// one that started earliest is taken over. A voice sounds its clip unchanged at gain 1; only
// a sum beyond full scale is altered, clipped to [-1, 1].
class Mixer {
  public:
    static constexpr std::size_t kVoices = 32;
    static constexpr std::size_t kQueueCapacity = 256;

    // GUI thread. False when the queue is full: the command is dropped, nothing waits.
    bool Submit(const PlayCommand& command) { return queue_.Push(command); }

    // Audio thread (or the offline renderer). Fills frames mono samples of the timeline from
    // firstFrame on. Never locks, allocates or frees. A command whose frame has already
    // passed starts at firstFrame, late but whole.
    void Render(float* out, std::size_t frames, std::int64_t firstFrame, const FrameMap& map);

    // Audio thread, for an output that can still rewrite what it sent ahead. sum holds the
    // unclipped frames [sumFirst, sumFirst + frames); those before renderFrom were mixed
    // before and are kept, the rest are mixed now. The commands sent since start on their
    // frames even inside the kept part, but none before earliest (late but whole, there).
    // Returns the first frame that changed in the kept part, or renderFrom.
    std::int64_t Mix(float* sum, std::int64_t sumFirst, std::size_t frames, std::int64_t renderFrom,
                     std::int64_t earliest, const FrameMap& map);

    // Audio thread. Forgets every Play sent and every voice sounding: the output lost its
    // device, and what was due then would only come late.
    void Reset();

    // Any thread; snapshots.
    int SoundingVoices() const { return sounding_.load(std::memory_order_relaxed); }
    std::uint64_t StolenVoices() const { return stolen_.load(std::memory_order_relaxed); }
    std::uint64_t LateStarts() const { return late_.load(std::memory_order_relaxed); }

  private:
    enum class VoiceState { Free, Waiting, Sounding };
    struct Voice {
        VoiceState state = VoiceState::Free;
        const float* data = nullptr;
        std::size_t length = 0;
        std::size_t position = 0;  // next sample of the clip to sound
        std::int64_t startFrame = 0;
        std::uint64_t order = 0;  // tells apart voices that start on the same frame
        float gain = 1;
    };

    void StartVoice(const PlayCommand& command, std::int64_t firstFrame, const FrameMap& map);
    Voice& FreeOrOldestVoice();

    SpscQueue<PlayCommand, kQueueCapacity> queue_;
    std::array<Voice, kVoices> voices_{};
    std::uint64_t nextOrder_ = 0;
    std::atomic<int> sounding_{0};
    std::atomic<std::uint64_t> stolen_{0};
    std::atomic<std::uint64_t> late_{0};
    // Written on the audio thread: a lock inside an atomic would make it wait on readers.
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

}  // namespace lark
