#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "audio/AudioOutput.h"
#include "audio/IdleStop.h"
#include "audio/OutputTimeline.h"
#include "runtime/Clock.h"

namespace lark {

// The default output device through PortAudio's callback API. The callback keeps a frame
// counter as the timeline, anchored to the clock by the time its first buffer reaches the
// DAC, and re-anchored after an underrun or when the two stay apart (OutputTimeline). A command
// stamped at clock reading t then sounds at t plus one constant latency, on the exact frame,
// wherever that falls inside a buffer. The latency is measured over the first quarter second after
// opening, and then held; a Play in that time waits for it, and that run's latency grows by
// its wait. The stream ends once it has
// measured, and whenever nothing has sounded for a few seconds after, so an idle app makes no
// wakeups and holds no device busy; the next Play starts it again with the same latency.
class PortAudioOutput final : public AudioOutput {
  public:
    // Keeps PortAudio's probing chatter off stderr. nullptr (and why) when there
    // is no server, no card or no stream.
    static std::unique_ptr<PortAudioOutput> Open(Mixer& mixer, const Clock& clock,
                                                 std::string& whyNot);
    ~PortAudioOutput() override;
    PortAudioOutput(const PortAudioOutput&) = delete;
    PortAudioOutput& operator=(const PortAudioOutput&) = delete;

    bool Renders() const override { return true; }
    // Starts the stream again if the callback ended it; a running one goes on.
    void Wake() override;

    // Any thread. The constant delay from a Play to its sound, known after the first buffer
    // (0 before).
    double LatencyUs() const { return latencyUs_.load(std::memory_order_relaxed); }
    std::uint64_t Reanchors() const { return reanchors_.load(std::memory_order_relaxed); }
    // How many times the stream has started: at opening, then at each Wake after it ended.
    std::uint64_t Runs() const { return runs_; }

    // [audio] Public for the C callback. Renders the buffer; true when the stream must end
    // after it (silent for the idle time with no Wake since).
    bool FillEndsStream(float* out, unsigned long frames, double dacAheadUs, bool underflow);

  private:
    struct Key {
        explicit Key() = default;
    };

  public:
    // Through Open only.
    PortAudioOutput(Key, Mixer& mixer, const Clock& clock) : mixer_(mixer), clock_(clock) {}

  private:
    bool Start(std::string& whyNot);
    // [audio] After a buffer: true when the stream must end now.
    bool EndsAfter(unsigned long frames);

    static constexpr std::size_t kScratchFrames = 1024;

    Mixer& mixer_;
    const Clock& clock_;
    void* stream_ = nullptr;
    int channels_ = 1;
    std::uint64_t runs_ = 0;   // GUI thread
    IdleStop idleStop_{true};  // the first run measures the latency

    // Audio thread state.
    OutputTimeline timeline_;
    std::int64_t framesDone_ = 0;
    std::array<float, kScratchFrames> scratch_{};

    std::atomic<double> latencyUs_{0};
    std::atomic<std::uint64_t> reanchors_{0};
    // Stored by the callback: a lock inside an atomic would make it wait on readers.
    static_assert(std::atomic<double>::is_always_lock_free);
    static_assert(std::atomic<std::uint64_t>::is_always_lock_free);
};

}  // namespace lark
