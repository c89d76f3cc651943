#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

#include "audio/AudioOutput.h"
#include "audio/IdleStop.h"
#include "audio/StreamEngine.h"
#include "runtime/Clock.h"

struct pa_context;
struct pa_io_event;
struct pa_stream;
struct pa_threaded_mainloop;

namespace lark {

// The sound server's own client library (PulseAudio, or PipeWire's PulseAudio service). This
// class only talks to the library; StreamEngine makes every decision. Three threads meet here:
//  - the GUI thread calls Wake with each Play, which never blocks;
//  - the library's own thread ("lark-output", real-time where allowed) answers the server's
//    requests and reports and rewrites for Plays, through the engine; it never allocates;
//  - a control thread ("lark-output-ctl") connects, opens and closes streams, which allocates.
// A stream runs only while sound is due: a Play starts one, and it ends after a few seconds of
// silence, so an idle app makes no wakeups and leaves the server's sink free to suspend. When
// the server goes away, the next Play connects afresh, so a restarted server is found again.
class PulseOutput final : public AudioOutput, private StreamEngine::Control {
  public:
    // PipeWire's service takes the refill as its graph cycle, and reads that far ahead, beyond
    // the reach of a rewrite; so the stream asks it for a shorter one.
    static constexpr double kPipeWireCycleUs = 512 * 1e6 / kOutputRateHz;
    struct Tuning {
        ServerBuffering pulseAudio{200'000, 100'000, 4'000, 0};
        // Its service hands the rewrite on from a thread that is not real-time.
        ServerBuffering pipeWire{200'000, 100'000, 8'000, kPipeWireCycleUs};
        const char* pipeWireGraphCycle = "512/48000";
        StreamEngine::Tuning engine{};
    };

    // Connects to the server (never starting one); nullptr (and why) when there is
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
    // With each Play: starts a stream if none runs, else has the Play added into
    // what was sent ahead. Returns at once.
    void Wake() override;

    // [any] Snapshots.
    StreamEngine::State State() const { return engine_.CurrentState(); }
    double LatencyUs() const { return engine_.RunLatencyUs(); }
    std::uint64_t Reanchors() const { return engine_.Reanchors(); }

  private:
    struct Key {
        explicit Key() = default;
    };

  public:
    // Through Open only.
    PulseOutput(Key, Mixer& mixer, const Clock& clock, Tuning tuning);

    // [any] The state callbacks: on the library's thread, and on the thread that connects or
    // disconnects, which the library calls them from at once, with the loop locked.
    void OnContextState(pa_context* context);
    void OnStreamState(pa_stream* stream);
    // [audio] The library's callbacks; public for the C callbacks.
    void OnWritable(std::size_t bytes);
    void OnReport();
    void OnUnderflow();
    void OnStarted();
    void OnWake();

  private:
    // Asks of the control thread beyond the engine's own.
    enum : unsigned { kOpen = 1u << 8, kDrop = 1u << 9, kQuit = 1u << 10 };

    // [audio]
    void Ask(unsigned asks) override;
    ServerReport Report() const;
    void Send(const StreamEngine::Write& write);

    // [control] With the library's lock held.
    void ControlLoop();
    bool Connect(std::string& whyNot);
    bool AskIfPipeWire();
    void OpenStream();
    void EndStream();
    void DropContext();

    const Clock& clock_;
    const Tuning tuning_;
    IdleStop idleStop_{false};
    StreamEngine engine_;
    pa_threaded_mainloop* loop_ = nullptr;
    int wakeFd_ = -1;
    std::thread control_;
    std::atomic<unsigned> asks_{0};

    // Under the library's lock.
    pa_context* context_ = nullptr;
    pa_stream* stream_ = nullptr;
    pa_io_event* wakeEvent_ = nullptr;
    const ServerBuffering* buffering_ = nullptr;  // for the server of this context
    bool openWhenConnected_ = false;
    bool quitting_ = false;
};

}  // namespace lark
