#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/IdleStop.h"
#include "audio/Mixer.h"

namespace lark {

// What a sound server's last timing report says, as plain values.
struct ServerReport {
    std::uint64_t serial = 0;  // differs for each report the server sent; 0: none yet
    bool readKnown = false;
    std::int64_t readFrame = 0;  // frames the server had taken from the stream when it reported
    double ageUs = 0;            // how long ago it reported
    double deviceUs = 0;         // from the server taking a frame to its being heard
    bool playing = false;        // the server was playing the stream, not waiting for data
    // The client library's own estimate of how long until the next frame sent is heard: for a
    // report without a read position.
    double interpolatedAheadUs = 0;
};

// What one server needs of a stream filled ahead: how far ahead, in what refills, and how long a
// rewrite takes to reach it.
struct ServerBuffering {
    double bufferUs = 200'000;
    double refillUs = 100'000;
    double guardUs = 4'000;
    // The server takes at least this much at a time, beyond what it reports.
    double leastCycleUs = 0;
};

// How late a Play may sound after its stamp, and which frames a rewrite can still reach, from
// one set of figures: both follow from how far ahead of what is heard the server takes frames.
struct LatencyBudget {
    double deviceUs = 0;  // the most the server reported from taking a frame to its being heard
    double cycleUs = 0;   // how much the server may take at once beyond its last report
    double guardUs = 0;   // how long a rewrite takes to reach the server
    double safetyUs = 0;  // a thread woken late, a report a little off

    // A Play sounds this long after its stamp: past what the device holds, a cycle the server
    // may take beyond its report, another for how far the anchoring report may be off, the
    // guard and a margin.
    double HeldUs() const { return deviceUs + 2 * cycleUs + guardUs + safetyUs; }
    // A rewrite reaches no frame closer than this to the server's read position.
    double UnchangeableUs() const { return cycleUs + guardUs; }
};

// The decisions behind a sound server's stream that is filled far ahead and rewritten for each
// Play: its states, the timeline that maps clock readings to frames, the latency budget, which
// frames a rewrite may still change, and when the stream ends. Plain C++: an adapter feeds it the
// server's requests, callbacks and timing reports as values and sends what it returns.
//
// Calls marked [audio] come from the server library's thread, [control] from the thread that
// opens and closes streams; never two at once (the library's lock). [audio] calls never lock,
// allocate or free.
class StreamEngine {
  public:
    enum class State {
        Closed,        // no stream
        Opening,       // asked of the server, not ready yet
        Prebuffering,  // the server waits for data before it plays: nothing can be placed yet
        Settling,      // playing; the timeline waits for fresh reports to anchor on
        Playing,       // Plays land on their frames
        Ending,        // silent long enough: the stream is being closed
    };
    enum class Event { Open, Ready, Started, Settled, Underflow, Idle, Closed };
    // The one transition function: an event a state does not expect leaves it as it is.
    static State Next(State state, Event event);

    // What the engine asks of the [control] side, from the audio thread.
    enum Ask : unsigned { kUpdateTiming = 1u << 0, kClose = 1u << 1 };
    class Control {
      public:
        virtual ~Control() = default;
        // [audio] Must not lock, allocate or free.
        virtual void Ask(unsigned asks) = 0;
    };

    struct Tuning {
        double safetyUs = 8'000;
        // Fresh reports a run waits for before it anchors: a server may report stale timing
        // until it has played a first cycle.
        int settleReports = 2;
        // Reports further from the timeline than this plus a cycle count as a departure; this
        // many fresh ones in a row re-anchor it. One as far as a stall re-anchors at once.
        double departureUs = 10'000;
        int departureReports = 3;
        double jumpUs = 100'000;
        // The frames kept to rewrite and to send, as time.
        double capacityUs = 2'000'000;
        // How much sooner than needed the first Play of a run lands when the stream came late.
        double firstPlayMarginUs = 1'000;
    };

    // A write for the server: frames from `samples`, starting seekFrames (<= 0) from where the
    // last write ended. Empty when there is nothing to send.
    struct Write {
        const float* samples = nullptr;
        std::size_t frames = 0;
        std::int64_t seekFrames = 0;
    };

    // [any] Once, before the stream is used. Allocates every buffer it will need.
    StreamEngine(Mixer& mixer, IdleStop& idleStop, Control& control, Tuning tuning);
    StreamEngine(const StreamEngine&) = delete;
    StreamEngine& operator=(const StreamEngine&) = delete;

    // [control] A new stream was asked of the server: a run starts, its frames counted from 0.
    void Opening(const ServerBuffering& buffering);
    // [control] The stream is gone; voices placed in it sound on in the next.
    void Closed();
    // [control] The server went away: what was placed and what waits is discarded.
    void Lost();

    // [audio] The server accepted the stream.
    void Ready();
    // [audio] The server plays what the stream sends.
    void Started(double nowUs);
    // [audio] The server ran out of data and waits for more before it plays on.
    void Underflow(double nowUs);
    // [audio] A timing report may have come: once it settles the timeline, the Plays that
    // waited for it go into what was sent.
    Write Reported(const ServerReport& report, double nowUs);
    // [audio] The server asks for `frames` more.
    Write Requested(std::int64_t frames, const ServerReport& report, double nowUs);
    // [audio] Plays were sent: they go into what the server has not taken yet.
    Write Woken(const ServerReport& report, double nowUs);

    // [any] Snapshots.
    State CurrentState() const { return state_.load(std::memory_order_relaxed); }
    double RunLatencyUs() const { return runLatencyUs_.load(std::memory_order_relaxed); }
    std::uint64_t Reanchors() const { return reanchors_.load(std::memory_order_relaxed); }

    // [audio] or [control]: the budget this run has learnt so far.
    const LatencyBudget& Budget() const { return budget_; }

  private:
    void Move(Event event);
    void Observe(const ServerReport& report, double nowUs);
    // Places the Plays sent since, rewriting what they change of what was sent.
    Write PlaceWaiting(const ServerReport& report, double nowUs);
    void Settle(const ServerReport& report, double nowUs);
    void CheckDeparture(const ServerReport& report, double nowUs);
    // How long from nowUs until the next frame to send is heard.
    double AheadUs(const ServerReport& report, double nowUs) const;
    std::int64_t EarliestChangeable(const ServerReport& report, double nowUs) const;
    FrameMap Map() const;
    void DiscardBefore(std::int64_t frame);
    // The clipped frames [from, end) of the mix, ready to send.
    Write Prepare(std::int64_t from, std::int64_t end);
    std::int64_t FramesIn(double us) const;

    Mixer& mixer_;
    IdleStop& idleStop_;
    Control& control_;
    const Tuning tuning_;
    ServerBuffering buffering_;
    std::atomic<State> state_{State::Closed};

    // The run's stream.
    std::int64_t framesDone_ = 0;  // frames sent so far, the server's write position
    // The unclipped mix of frames [sentFirst_, framesDone_) that the server may not have taken
    // yet, to add a late Play into, then room for the next request; and the clipped copy sent.
    std::vector<float> sum_;
    std::vector<float> out_;
    std::int64_t sentFirst_ = 0;

    // What the reports taught this run.
    LatencyBudget budget_;
    std::uint64_t lastSerial_ = 0;
    std::int64_t lastReadFrame_ = 0;
    std::int64_t leastReadStep_ = 0;  // 0: no step seen yet
    double waitingSinceUs_ = 0;       // reports from before this do not settle the stream
    int settleReports_ = 0;
    int departures_ = 0;

    // The timeline: frame anchorFrame_ is heard at anchorHeardUs_, and a Play stamped t sounds
    // at t + the run's latency.
    std::int64_t anchorFrame_ = 0;
    double anchorHeardUs_ = 0;
    bool latencyChosen_ = false;
    std::atomic<double> runLatencyUs_{0};
    std::atomic<std::uint64_t> reanchors_{0};
    static_assert(std::atomic<double>::is_always_lock_free);
    static_assert(std::atomic<State>::is_always_lock_free);
};

}  // namespace lark
