#include "audio/OutputTimeline.h"

#include <algorithm>
#include <cmath>

namespace lark {

FrameMap OutputTimeline::Update(double nowUs, double dacAheadUs, std::int64_t framesDone,
                                unsigned long frames, bool underflow,
                                std::optional<double> oldestWaitingUs) {
    const double usPerFrame = 1e6 / tuning_.rate;
    const double firstSoundsUs = nowUs + dacAheadUs;
    if (calibrated_ < tuning_.calibrationCallbacks) {
        // The worst of how far ahead a buffer is rendered plus how long a Play can wait for
        // the next callback (some servers call back in bursts: the gap counts), and a buffer
        // and a margin on top for what that missed.
        const double gapUs = calibrated_ == 0 ? 0.0 : nowUs - lastCallbackUs_;
        worstAheadUs_ = std::max(worstAheadUs_, dacAheadUs + gapUs);
        latencyUs_ = worstAheadUs_ + static_cast<double>(frames) * usPerFrame + tuning_.safetyUs;
        ++calibrated_;
        runLatencyUs_ = latencyUs_;
        if (Calibrated() && oldestWaitingUs) {
            // Plays waited for the measurement: the oldest sounds in this buffer, the rest as
            // far after it as their stamps are.
            runLatencyUs_ =
                std::max(latencyUs_, firstSoundsUs - *oldestWaitingUs + tuning_.safetyUs);
        }
    }
    lastCallbackUs_ = nowUs;

    const double predictedUs =
        anchorUs_ + static_cast<double>(framesDone - anchorFrame_) * usPerFrame;
    departures_ = std::abs(firstSoundsUs - predictedUs) > tuning_.driftUs ? departures_ + 1 : 0;
    if (!anchored_ || underflow || departures_ >= tuning_.driftCallbacks) {
        reanchors_ += anchored_ ? 1 : 0;
        anchored_ = true;
        anchorUs_ = firstSoundsUs;
        anchorFrame_ = framesDone;
        departures_ = 0;
    }
    return FrameMap{anchorUs_ - runLatencyUs_, anchorFrame_, static_cast<double>(tuning_.rate)};
}

void OutputTimeline::Restart() {
    runLatencyUs_ = latencyUs_;
    anchored_ = false;
    departures_ = 0;
}

}  // namespace lark
