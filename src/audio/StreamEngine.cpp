#include "audio/StreamEngine.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace lark {

namespace {
constexpr double kFrameUs = 1e6 / kOutputRateHz;
}

StreamEngine::State StreamEngine::Next(State state, Event event) {
    if (event == Event::Closed) {
        return State::Closed;
    }
    switch (state) {
        case State::Closed:
            return event == Event::Open ? State::Opening : state;
        case State::Opening:
            return event == Event::Ready ? State::Prebuffering : state;
        case State::Prebuffering:
            return event == Event::Started ? State::Settling
                   : event == Event::Idle  ? State::Ending
                                           : state;
        case State::Settling:
            return event == Event::Settled     ? State::Playing
                   : event == Event::Underflow ? State::Prebuffering
                   : event == Event::Idle      ? State::Ending
                                               : state;
        case State::Playing:
            return event == Event::Underflow ? State::Prebuffering
                   : event == Event::Idle    ? State::Ending
                                             : state;
        case State::Ending:
            return state;
    }
    return state;
}

StreamEngine::StreamEngine(Mixer& mixer, IdleStop& idleStop, Control& control, Tuning tuning)
    : mixer_(mixer), idleStop_(idleStop), control_(control), tuning_(tuning) {
    const auto frames = static_cast<std::size_t>(FramesIn(tuning_.capacityUs));
    sum_.resize(frames);
    out_.resize(frames);
}

std::int64_t StreamEngine::FramesIn(double us) const {
    return std::llround(us / kFrameUs);
}

void StreamEngine::Move(Event event) {
    state_.store(Next(state_.load(std::memory_order_relaxed), event), std::memory_order_relaxed);
}

void StreamEngine::Opening(const ServerBuffering& buffering) {
    Move(Event::Open);
    buffering_ = buffering;
    framesDone_ = 0;
    sentFirst_ = 0;
    budget_ = LatencyBudget{0, buffering.leastCycleUs, buffering.guardUs, tuning_.safetyUs};
    lastSerial_ = 0;
    lastReadFrame_ = 0;
    leastReadStep_ = 0;
    settleReports_ = 0;
    departures_ = 0;
    latencyChosen_ = false;
    mixer_.Restart();
}

void StreamEngine::Closed() {
    Move(Event::Closed);
}

void StreamEngine::Lost() {
    mixer_.Reset();
    Move(Event::Closed);
}

void StreamEngine::Ready() {
    Move(Event::Ready);
}

void StreamEngine::Started(double nowUs) {
    if (CurrentState() != State::Prebuffering) {
        return;
    }
    Move(Event::Started);
    waitingSinceUs_ = nowUs;
    settleReports_ = 0;
    control_.Ask(kUpdateTiming);
}

void StreamEngine::Underflow(double nowUs) {
    if (CurrentState() != State::Settling && CurrentState() != State::Playing) {
        return;
    }
    // The server plays on once it has enough again, later than the timeline says.
    Move(Event::Underflow);
    waitingSinceUs_ = nowUs;
}

StreamEngine::Write StreamEngine::Reported(const ServerReport& report, double nowUs) {
    Observe(report, nowUs);
    return PlaceWaiting(report, nowUs);  // the report may have settled the timeline
}

void StreamEngine::Observe(const ServerReport& report, double nowUs) {
    if (report.serial == 0 || report.serial == lastSerial_) {
        return;  // nothing new
    }
    lastSerial_ = report.serial;
    budget_.deviceUs = std::max(budget_.deviceUs, report.deviceUs);
    if (report.readKnown) {
        // The server takes frames in cycles: the least step between reports is at most one.
        const std::int64_t step = report.readFrame - lastReadFrame_;
        if (step > 0) {
            leastReadStep_ = leastReadStep_ == 0 ? step : std::min(leastReadStep_, step);
            budget_.cycleUs =
                std::max(buffering_.leastCycleUs, static_cast<double>(leastReadStep_) * kFrameUs);
        }
        lastReadFrame_ = report.readFrame;
    }
    const bool madeSinceWaiting = nowUs - report.ageUs > waitingSinceUs_;
    switch (CurrentState()) {
        case State::Prebuffering:
            // Some servers tell only through their reports that they play again.
            if (report.playing && madeSinceWaiting) {
                Started(nowUs);
            }
            break;
        case State::Settling:
            if (report.playing && madeSinceWaiting && ++settleReports_ >= tuning_.settleReports) {
                Settle(report, nowUs);
            } else {
                control_.Ask(kUpdateTiming);
            }
            break;
        case State::Playing:
            CheckDeparture(report, nowUs);
            break;
        default:
            break;
    }
}

void StreamEngine::Settle(const ServerReport& report, double nowUs) {
    anchorFrame_ = framesDone_;
    anchorHeardUs_ = nowUs + AheadUs(report, nowUs);
    departures_ = 0;
    if (!latencyChosen_) {
        // Held for the whole run, so every Play lands exactly one latency after its stamp. A
        // stream that came late makes it longer: the first Play lands whole, and on time
        // against the Plays after it.
        double latencyUs = budget_.HeldUs();
        double oldestUs = 0;
        if (mixer_.OldestWaiting(oldestUs)) {
            const std::int64_t earliest = EarliestChangeable(report, nowUs);
            const double reachableUs =
                anchorHeardUs_ + static_cast<double>(earliest - anchorFrame_) * kFrameUs;
            latencyUs = std::max(latencyUs, reachableUs - oldestUs + tuning_.firstPlayMarginUs);
        }
        runLatencyUs_.store(latencyUs, std::memory_order_relaxed);
        latencyChosen_ = true;
    } else {
        reanchors_.fetch_add(1, std::memory_order_relaxed);
    }
    Move(Event::Settled);
}

void StreamEngine::CheckDeparture(const ServerReport& report, double nowUs) {
    const double heardUs = nowUs + AheadUs(report, nowUs);
    const double predictedUs =
        anchorHeardUs_ + static_cast<double>(framesDone_ - anchorFrame_) * kFrameUs;
    const double offUs = std::abs(heardUs - predictedUs);
    // The server's reports of a cycle-wise reader scatter by a cycle.
    const bool jumped = offUs > tuning_.jumpUs + budget_.cycleUs;
    departures_ = offUs > tuning_.departureUs + budget_.cycleUs ? departures_ + 1 : 0;
    if (jumped || departures_ >= tuning_.departureReports) {
        // A stall, a resumed server, or the two clocks drifting apart: what is heard from now
        // on follows the server. Voices placed already keep their frames.
        anchorFrame_ = framesDone_;
        anchorHeardUs_ = heardUs;
        departures_ = 0;
        reanchors_.fetch_add(1, std::memory_order_relaxed);
    }
}

double StreamEngine::AheadUs(const ServerReport& report, double /*nowUs*/) const {
    if (!report.readKnown) {
        return report.interpolatedAheadUs;
    }
    // The last report carried forward at the stream's rate: what was queued beyond the read
    // position then, what the device held, less the time since.
    return static_cast<double>(framesDone_ - report.readFrame) * kFrameUs + report.deviceUs -
           report.ageUs;
}

std::int64_t StreamEngine::EarliestChangeable(const ServerReport& report, double nowUs) const {
    std::int64_t frame = 0;
    if (report.readKnown) {
        frame = report.readFrame + FramesIn(report.ageUs + budget_.UnchangeableUs());
    } else {
        frame = framesDone_ -
                FramesIn(AheadUs(report, nowUs) - report.deviceUs - budget_.UnchangeableUs());
    }
    // A server that stopped answering has, for all we know, taken all it was sent.
    return std::clamp(frame, sentFirst_, framesDone_);
}

FrameMap StreamEngine::Map() const {
    return FrameMap{anchorHeardUs_ - RunLatencyUs(), anchorFrame_,
                    static_cast<double>(kOutputRateHz)};
}

void StreamEngine::DiscardBefore(std::int64_t frame) {
    frame = std::min(frame, framesDone_);
    if (frame <= sentFirst_) {
        return;
    }
    std::copy(sum_.begin() + (frame - sentFirst_), sum_.begin() + (framesDone_ - sentFirst_),
              sum_.begin());
    sentFirst_ = frame;
}

StreamEngine::Write StreamEngine::Requested(std::int64_t frames, const ServerReport& report,
                                            double nowUs) {
    if (CurrentState() == State::Opening) {
        Ready();  // a server may ask before it says the stream is ready
    }
    if (CurrentState() == State::Closed || frames <= 0) {
        return {};
    }
    Observe(report, nowUs);
    if (CurrentState() == State::Playing) {
        const std::int64_t earliest = EarliestChangeable(report, nowUs);
        DiscardBefore(earliest);
        mixer_.Place(earliest, Map());
    } else {
        // Until the timeline holds, nothing is placed and nothing sent is changed: the Plays
        // wait, and voices placed before sound on where they were.
        DiscardBefore(framesDone_);
    }
    const auto capacity = static_cast<std::int64_t>(sum_.size());
    const std::int64_t fresh = std::min(frames, capacity - (framesDone_ - sentFirst_));
    const std::int64_t end = framesDone_ + fresh;
    const std::int64_t changed = mixer_.Mix(
        sum_.data(), sentFirst_, static_cast<std::size_t>(end - sentFirst_), framesDone_);
    const Write write = Prepare(changed, end);
    framesDone_ = end;
    if (idleStop_.EndsNow(fresh, mixer_.SoundingVoices() > 0) && CurrentState() != State::Ending) {
        Move(Event::Idle);
        control_.Ask(kClose);
    }
    return write;
}

StreamEngine::Write StreamEngine::Woken(const ServerReport& report, double nowUs) {
    Observe(report, nowUs);
    return PlaceWaiting(report, nowUs);
}

StreamEngine::Write StreamEngine::PlaceWaiting(const ServerReport& report, double nowUs) {
    if (CurrentState() != State::Playing) {
        return {};  // the Plays wait until the timeline holds
    }
    const std::int64_t earliest = EarliestChangeable(report, nowUs);
    DiscardBefore(earliest);
    mixer_.Place(earliest, Map());
    const std::int64_t changed = mixer_.Mix(
        sum_.data(), sentFirst_, static_cast<std::size_t>(framesDone_ - sentFirst_), framesDone_);
    return Prepare(changed, framesDone_);
}

StreamEngine::Write StreamEngine::Prepare(std::int64_t from, std::int64_t end) {
    assert(from >= sentFirst_ && end - sentFirst_ <= static_cast<std::int64_t>(sum_.size()));
    if (end <= from) {
        return {};
    }
    const float* mix = sum_.data() + (from - sentFirst_);
    const auto frames = static_cast<std::size_t>(end - from);
    for (std::size_t i = 0; i < frames; ++i) {
        out_[i] = std::clamp(mix[i], -1.0f, 1.0f);
    }
    return Write{out_.data(), frames, from - framesDone_};
}

}  // namespace lark
