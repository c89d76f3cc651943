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

// What became of the Plays sent, counted on the audio thread. Every Play taken from the queue
// is placed; a placed voice then finishes, is stolen for a newer one, or is discarded with a
// lost device. Read from any thread as snapshots.
struct MixerCounts {
    std::uint64_t placed = 0;
    std::uint64_t late = 0;  // placed after the frame its stamp maps to
    std::uint64_t finished = 0;
    std::uint64_t stolen = 0;
    std::uint64_t discarded = 0;  // voices and queued Plays dropped by Reset
};

// Sums the sounding clips into the output. Each command starts a new voice, so a clip started
// again while it still sounds is heard twice. The pool is fixed; when every voice is busy the
// one that started earliest is taken over. A voice sounds its clip unchanged at gain 1; only
// a sum beyond full scale is altered, clipped to [-1, 1].
//
// Calls marked [audio] come from one thread at a time: the output's (or the offline
// renderer's), never the GUI's. None of them locks, allocates or frees.
class Mixer {
  public:
    static constexpr std::size_t kVoices = 32;
    static constexpr std::size_t kQueueCapacity = 256;

    // False when the queue is full: the command is dropped, nothing waits.
    bool Submit(const PlayCommand& command) { return queue_.Push(command); }

    // [audio] The stamp of the oldest Play not yet placed, if any.
    bool OldestWaiting(double& atUs) const;

    // [audio] Takes every Play sent so far and starts a voice for each on the frame its stamp
    // maps to, its grid frame. A Play whose grid frame is before `earliest` (frames that can no
    // longer change) is late: it starts as far after the voice before it as their stamps are
    // apart, or at `earliest` if that is later. So Plays that a stall made late keep their
    // spacing and their order. Once a grid frame can be reached again the Plays go back onto
    // their grid, never before the voice before them and closing at most half of each gap.
    void Place(std::int64_t earliest, const FrameMap& map);

    // [audio] Mixes the sounding voices into sum, which holds the unclipped frames
    // [sumFirst, sumFirst + frames). Those before renderFrom were mixed before and are kept,
    // except where a voice placed since starts inside them; the rest are mixed now. Returns the
    // first frame that changed. A voice never writes outside sum.
    std::int64_t Mix(float* sum, std::int64_t sumFirst, std::size_t frames,
                     std::int64_t renderFrom);

    // [audio] Place and Mix for an output that cannot rewrite: fills frames mono samples of the
    // timeline from firstFrame on, clipped. A Play whose frame has passed starts at firstFrame.
    void Render(float* out, std::size_t frames, std::int64_t firstFrame, const FrameMap& map);
    // [audio] Render without placing: the Plays sent wait in the queue.
    void RenderPlaced(float* out, std::size_t frames, std::int64_t firstFrame);

    // [audio] A new stream counts its frames afresh: the placement of the next Play no longer
    // follows the ones before it. A voice still placed (none, once a stream ended idle) could
    // not be heard in the new count of frames, so it is discarded.
    void Restart();
    // [audio] Forgets every Play sent and every voice: the output lost its device, and what
    // was due then would only come late.
    void Reset();

    // [any] Snapshots.
    int SoundingVoices() const { return sounding_.load(std::memory_order_relaxed); }
    MixerCounts Counts() const;

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

    std::int64_t PlaceOne(const PlayCommand& command, std::int64_t earliest, const FrameMap& map);
    Voice& FreeOrOldestVoice();
    static void Count(std::atomic<std::uint64_t>& counter, std::uint64_t n = 1) {
        counter.store(counter.load(std::memory_order_relaxed) + n, std::memory_order_relaxed);
    }

    // Debug builds check that [audio] calls never overlap.
    class OneAtATime;
    std::atomic<bool> inside_{false};

    SpscQueue<PlayCommand, kQueueCapacity> queue_;
    std::array<Voice, kVoices> voices_{};
    std::uint64_t nextOrder_ = 0;
    // The voice placed last in this stream: where a late Play keeps its spacing from.
    bool placedBefore_ = false;
    std::int64_t lastStartFrame_ = 0;
    double lastStampUs_ = 0;

    std::atomic<int> sounding_{0};
    std::atomic<std::uint64_t> placed_{0};
    std::atomic<std::uint64_t> late_{0};
    std::atomic<std::uint64_t> finished_{0};
    std::atomic<std::uint64_t> stolen_{0};
    std::atomic<std::uint64_t> discarded_{0};
    // Written on the audio thread: a lock inside an atomic would make it wait on readers.
    static_assert(std::atomic<int>::is_always_lock_free);
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

}  // namespace lark
