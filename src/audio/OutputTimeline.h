#pragma once

#include <cstdint>
#include <optional>

#include "audio/Mixer.h"

namespace lark {

// Maps clock readings to output frames for a device that reports, at each callback, how far
// ahead of the DAC its buffer is (the fallback output's). Anchored by the first buffer, and
// afresh after an underrun or when the device's reports stay away from the timeline for a while
// (a stall, a resumed server, drift between the two crystals). A single odd report moves
// nothing: some servers report in bursts. [audio] only; no allocation, no locks.
class OutputTimeline {
  public:
    struct Tuning {
        int rate = kOutputRateHz;
        // The latency is measured over the first callbacks, then held.
        int calibrationCallbacks = 48;
        double safetyUs = 2000;
        // Reports further than this from the timeline count as a departure ...
        double driftUs = 10000;
        // ... and this many in a row re-anchor it.
        int driftCallbacks = 16;
    };

    OutputTimeline() = default;
    explicit OutputTimeline(Tuning tuning) : tuning_(tuning) {}

    // One callback about to render `frames` from framesDone on: nowUs is the clock when it
    // began, dacAheadUs how long until its first frame is heard, oldestWaitingUs the stamp of
    // the oldest Play not yet placed, if any. Returns the map to render this buffer with: a
    // Play stamped at t sounds at t plus LatencyUs().
    FrameMap Update(double nowUs, double dacAheadUs, std::int64_t framesDone, unsigned long frames,
                    bool underflow, std::optional<double> oldestWaitingUs = std::nullopt);

    // The device starts again after a stop, its frames counted afresh: the next Update
    // anchors anew. The measured latency is kept, so Plays land alike in every run.
    void Restart();

    // This run's latency: the measured one, or more in a run whose first Plays waited for the
    // measurement to end, so that they keep their spacing.
    double LatencyUs() const { return runLatencyUs_; }
    // The latency is measured. Until then Plays must wait: placed with a latency still
    // growing, the later ones would sound further from the earlier than their stamps are.
    bool Calibrated() const { return calibrated_ >= tuning_.calibrationCallbacks; }
    std::uint64_t Reanchors() const { return reanchors_; }

  private:
    Tuning tuning_;
    bool anchored_ = false;
    double anchorUs_ = 0;
    std::int64_t anchorFrame_ = 0;
    double latencyUs_ = 0;  // measured
    double runLatencyUs_ = 0;
    double worstAheadUs_ = 0;
    double lastCallbackUs_ = 0;
    int calibrated_ = 0;
    int departures_ = 0;  // consecutive reports away from the timeline
    std::uint64_t reanchors_ = 0;
};

}  // namespace lark
