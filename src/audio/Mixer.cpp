#include "audio/Mixer.h"

#include <algorithm>

namespace lark {

void Mixer::Render(float* out, std::size_t frames, std::int64_t firstFrame, const FrameMap& map) {
    Mix(out, firstFrame, frames, firstFrame, firstFrame, map);
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
}

std::int64_t Mixer::Mix(float* sum, std::int64_t sumFirst, std::size_t frames,
                        std::int64_t renderFrom, std::int64_t earliest, const FrameMap& map) {
    const std::int64_t endFrame = sumFirst + static_cast<std::int64_t>(frames);
    earliest = std::clamp(earliest, sumFirst, endFrame);
    PlayCommand command;
    while (queue_.Pop(command)) {
        StartVoice(command, earliest, map);
    }
    std::fill(sum + (renderFrom - sumFirst), sum + frames, 0.0f);
    std::int64_t changed = renderFrom;
    int sounding = 0;
    for (Voice& v : voices_) {
        if (v.state == VoiceState::Free) {
            continue;
        }
        // A voice carries on from where it stopped; one started just now, from its own frame.
        const std::int64_t from = v.startFrame + static_cast<std::int64_t>(v.position);
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
        } else {
            ++sounding;
        }
    }
    sounding_.store(sounding, std::memory_order_relaxed);
    return changed;
}

void Mixer::Reset() {
    PlayCommand command;
    while (queue_.Pop(command)) {
    }
    for (Voice& v : voices_) {
        v.state = VoiceState::Free;
    }
    sounding_.store(0, std::memory_order_relaxed);
}

void Mixer::StartVoice(const PlayCommand& command, std::int64_t firstFrame, const FrameMap& map) {
    if (!command.clip || command.clip->samples.empty()) {
        return;
    }
    std::int64_t frame = map.FrameAt(command.atUs);
    if (frame < firstFrame) {
        frame = firstFrame;
        late_.fetch_add(1, std::memory_order_relaxed);
    }
    Voice& v = FreeOrOldestVoice();
    v.state = VoiceState::Waiting;
    v.data = command.clip->samples.data();
    v.length = command.clip->samples.size();
    v.position = 0;
    v.startFrame = frame;
    v.order = nextOrder_++;
    v.gain = command.gain;
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
    stolen_.fetch_add(1, std::memory_order_relaxed);
    return *oldest;
}

}  // namespace lark
