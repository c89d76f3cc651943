#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/IdleStop.h"
#include "audio/OutputTimeline.h"
#include "runtime/Clock.h"

struct pa_context;
struct pa_mainloop;
struct pa_stream;
struct pa_timing_info;

namespace lark {

// The sound server's own client library, on a thread of its own. A stream runs only while
// sound is due: a Play starts one, and it ends once nothing has sounded for a few seconds, so
// an idle app makes no wakeups and leaves the server's sink free to suspend. The stream's
// timeline holds one latency for the whole process (OutputTimeline), so a Play stamped at t
// sounds at t plus that latency on the exact frame, in every run; only the Play that starts a
// run may come late, by the time the stream takes to start. When the server goes away, the
// next Play connects afresh, so a restarted server is found again.
//
// The stream is filled far ahead, so the thread wakes rarely while a performance plays; a Play
// wakes it, and it rewrites the part of what it sent that the server has not played yet. So the
// latency is what the device holds plus a margin, not the buffer.
class PulseOutput final : public AudioOutput {
  public:
    // How much the stream buffers and how much of it is refilled at a time (the wakeups per
    // second follow from these), and how far ahead of what the device holds a rewrite must land
    // to reach the server in time.
    struct Buffering {
        double bufferUs;
        double refillUs;
        double guardUs;
        // How far the server may take frames ahead of the read position it last reported: it
        // takes a whole cycle at a time, so a report is off by up to a cycle, either way.
        double readCycleUs;
        // The graph cycle to ask of PipeWire, which otherwise takes the refill for one and reads
        // that far ahead, beyond the reach of a rewrite; nullptr for none.
        const char* graphCycle;
    };
    // The graph cycle asked of PipeWire.
    static constexpr double kPipeWireCycleUs = 512 * 1e6 / kOutputRateHz;
    struct Tuning {
        Buffering pulseAudio{200'000, 100'000, 4'000, 0, nullptr};
        // Its PulseAudio service hands the rewrite on from a thread that is not real-time.
        Buffering pipeWire{200'000, 100'000, 8'000, kPipeWireCycleUs, "512/48000"};
        // Silence after which the stream ends: longer than any pause within a performance.
        double idleStopUs = 3'000'000;
        // Room for a thread that wakes late for a Play and a server that reports unevenly.
        double safetyUs = 8'000;
        // The timing reports the timeline follows after a start before any Play is placed:
        // PipeWire's service reports the first one about 10 ms off the rest.
        int anchorReports = 2;
        // Reports further than this from the timeline count as a departure: a read cycle's worth
        // of spread is not one.
        double driftUs = 10'000 + kPipeWireCycleUs;
    };

    // GUI thread. Connects to the server (never starting one); nullptr (and why) when there is
    // none. No stream runs until the first Wake.
    static std::unique_ptr<PulseOutput> Open(Mixer& mixer, const Clock& clock, std::string& whyNot,
                                             Tuning tuning);
    static std::unique_ptr<PulseOutput> Open(Mixer& mixer, const Clock& clock,
                                             std::string& whyNot) {
        return Open(mixer, clock, whyNot, Tuning{});
    }
    ~PulseOutput() override;
    PulseOutput(const PulseOutput&) = delete;
    PulseOutput& operator=(const PulseOutput&) = delete;

    bool Renders() const override { return true; }
    void Wake() override;

    // Any thread; snapshots.
    bool Running() const { return running_.load(std::memory_order_relaxed); }
    std::uint64_t Runs() const { return runs_.load(std::memory_order_relaxed); }
    double LatencyUs() const { return latencyUs_.load(std::memory_order_relaxed); }
    std::uint64_t Reanchors() const { return reanchors_.load(std::memory_order_relaxed); }

  private:
    struct Key {
        explicit Key() = default;
    };

  public:
    // Through Open only.
    PulseOutput(Key, Mixer& mixer, const Clock& clock, Tuning tuning);

    // The output thread's callbacks; public for the C callbacks. Sends what the server asked
    // for, if it did, and adds the Plays sent since into what it may not have played yet.
    void Fill(bool requested);
    // The server ran out of samples and waits to refill before it plays on.
    void NoteUnderflow() {
        underflow_ = true;
        started_ = false;
    }
    void NoteStarted();

  private:
    void Run();
    bool Connect(std::string& whyNot);
    void Step();
    // Asks the server its name: PipeWire's service needs its own buffering.
    const Buffering* BufferingForServer();
    void StartStream();
    void EndStream();
    void DropContext();
    void Keep(std::int64_t from);
    // Sends silence for the frames the server asked for: no Play can be placed yet.
    void SendSilence(std::int64_t fresh);
    // How long until the first frame not yet sent is heard.
    double AheadOfDeviceUs(const pa_timing_info* timing, double interpolatedUs) const;
    void Send(std::int64_t from, std::int64_t end);

    Mixer& mixer_;
    const Clock& clock_;
    const Tuning tuning_;
    pa_mainloop* loop_ = nullptr;
    std::thread thread_;
    IdleStop idleStop_;
    std::atomic<bool> quit_{false};
    std::atomic<int> connected_{0};  // 0 while the first connection settles, 1 up, -1 failed
    std::string whyNot_;             // set before connected_ turns -1

    // Output thread state.
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    bool startWhenReady_ = false;
    const Buffering* buffering_ = nullptr;       // for the server of this context; null until asked
    const Buffering* latencyHeldFor_ = nullptr;  // the latency held suits this buffering
    bool underflow_ = false;
    bool started_ = false;  // the server plays what the stream sends
    bool idle_ = false;     // the idle stop decided to end the stream
    std::uint64_t wakesSeen_ = 0;
    std::int64_t framesDone_ = 0;
    // The unclipped mix of the frames sent from sentFirst_ on that the server may not have
    // played yet, to add a late Play into; and the clipped copy that goes out.
    std::vector<float> sent_;
    std::vector<float> out_;
    std::int64_t sentFirst_ = 0;
    OutputTimeline timeline_;

    std::atomic<bool> running_{false};
    std::atomic<std::uint64_t> runs_{0};
    std::atomic<double> latencyUs_{0};
    std::atomic<std::uint64_t> reanchors_{0};
};

}  // namespace lark
