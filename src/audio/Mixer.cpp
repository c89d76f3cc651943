#include "audio/Mixer.h"

#include <algorithm>
#include <cassert>

namespace lark {

class Mixer::OneAtATime {
  public:
#ifdef NDEBUG
    explicit OneAtATime(std::atomic<bool>&) {}
#else
    explicit OneAtATime(std::atomic<bool>& inside) : inside_(inside) {
        [[maybe_unused]] const bool before = inside_.exchange(true, std::memory_order_acquire);
        assert(!before && "two threads in the mixer's audio side at once");
    }
    ~OneAtATime() {
        inside_.store(false, std::memory_order_release);
    }

  private:
    std::atomic<bool>& inside_;
#endif
};

bool Mixer::OldestWaiting(double& atUs) const {
    PlayCommand command;
    if (!queue_.Peek(command)) {
        return false;
    }
    atUs = command.atUs;
    return true;
}

void Mixer::Place(std::int64_t earliest, const FrameMap& map) {
    const OneAtATime alone(inside_);
    PlayCommand command;
    [[maybe_unused]] std::size_t taken = 0;
    while (queue_.Pop(command)) {
        assert(++taken < kQueueCapacity && "more taken from the queue than it can hold");
        if (command.clip && !command.clip->samples.empty()) {
            PlaceOne(command, earliest, map);
        }
    }
}

std::int64_t Mixer::PlaceOne(const PlayCommand& command, std::int64_t earliest,
                             const FrameMap& map) {
    const std::int64_t grid = map.FrameAt(command.atUs);
    std::int64_t frame = std::max(grid, earliest);
    if (placedBefore_) {
        // How far after its own grid frame the voice before was placed, on today's grid (a
        // re-anchor moves the grid under it), and the gap between their stamps.
        const std::int64_t before = map.FrameAt(lastStampUs_);
        const std::int64_t shift = std::max<std::int64_t>(0, lastStartFrame_ - before);
        const std::int64_t gap = grid - before;
        if (grid < earliest) {
            // Its frame has passed: as far from the voice before as their stamps are, as far as
            // the stall allows.
            frame = std::max(earliest, grid + shift);
        } else {
            // Back onto the grid, never out of order, closing at most half the gap at a time:
            // what a stall shifted comes back within a few steps.
            frame = grid + shift - std::min(shift, gap / 2);
        }
    }
    if (frame != grid) {
        Count(late_);
    }
    placedBefore_ = true;
    lastStartFrame_ = frame;
    lastStampUs_ = command.atUs;

    Voice& v = FreeOrOldestVoice();
    v.state = VoiceState::Waiting;
    v.data = command.clip->samples.data();
    v.length = command.clip->samples.size();
    v.position = 0;
    v.startFrame = frame;
    v.order = nextOrder_++;
    v.gain = command.gain;
    Count(placed_);
    return frame;
}

std::int64_t Mixer::Mix(float* sum, std::int64_t sumFirst, std::size_t frames,
                        std::int64_t renderFrom) {
    const OneAtATime alone(inside_);
    const std::int64_t endFrame = sumFirst + static_cast<std::int64_t>(frames);
    assert(renderFrom >= sumFirst && renderFrom <= endFrame);
    renderFrom = std::clamp(renderFrom, sumFirst, endFrame);
    std::fill(sum + (renderFrom - sumFirst), sum + frames, 0.0f);
    std::int64_t changed = renderFrom;
    int sounding = 0;
    for (Voice& v : voices_) {
        if (v.state == VoiceState::Free) {
            continue;
        }
        // A voice that has sounded carries on where the last mix stopped; one placed since,
        // from its own frame, which may lie in the kept part. Neither ever reaches before sum:
        // the output mixes every frame it sends, so no voice falls behind it.
        std::int64_t from = v.startFrame + static_cast<std::int64_t>(v.position);
        const std::int64_t floor = v.position > 0 ? renderFrom : sumFirst;
        assert(from >= floor);
        if (from < floor) {
            v.position += static_cast<std::size_t>(floor - from);
            from = floor;
        }
        if (v.position >= v.length) {
            v.state = VoiceState::Free;
            Count(finished_);
            continue;
        }
        if (from >= endFrame) {
            ++sounding;  // waiting for a later buffer
            continue;
        }
        v.state = VoiceState::Sounding;
        const auto n = std::min(static_cast<std::size_t>(endFrame - from), v.length - v.position);
        const float* in = v.data + v.position;
        float* to = sum + (from - sumFirst);
        for (std::size_t i = 0; i < n; ++i) {
            to[i] += in[i] * v.gain;
        }
        changed = std::min(changed, from);
        v.position += n;
        if (v.position >= v.length) {
            v.state = VoiceState::Free;
            Count(finished_);
        } else {
            ++sounding;
        }
    }
    sounding_.store(sounding, std::memory_order_relaxed);
    return changed;
}

void Mixer::Render(float* out, std::size_t frames, std::int64_t firstFrame, const FrameMap& map) {
    Place(firstFrame, map);
    RenderPlaced(out, frames, firstFrame);
}

void Mixer::RenderPlaced(float* out, std::size_t frames, std::int64_t firstFrame) {
    Mix(out, firstFrame, frames, firstFrame);
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

void Mixer::Restart() {
    std::uint64_t dropped = 0;
    for (Voice& v : voices_) {
        dropped += v.state != VoiceState::Free;
        v.state = VoiceState::Free;
    }
    Count(discarded_, dropped);
    placedBefore_ = false;
    sounding_.store(0, std::memory_order_relaxed);
}

void Mixer::Reset() {
    std::uint64_t dropped = 0;
    PlayCommand command;
    while (queue_.Pop(command)) {
        ++dropped;
    }
    Count(discarded_, dropped);
    Restart();
}

MixerCounts Mixer::Counts() const {
    return {placed_.load(std::memory_order_relaxed), late_.load(std::memory_order_relaxed),
            finished_.load(std::memory_order_relaxed), stolen_.load(std::memory_order_relaxed),
            discarded_.load(std::memory_order_relaxed)};
}

Mixer::Voice& Mixer::FreeOrOldestVoice() {
    Voice* oldest = &voices_[0];
    for (Voice& v : voices_) {
        if (v.state == VoiceState::Free) {
            return v;
        }
        if (v.startFrame < oldest->startFrame ||
            (v.startFrame == oldest->startFrame && v.order < oldest->order)) {
            oldest = &v;
        }
    }
    Count(stolen_);
    return *oldest;
}

}  // namespace lark
