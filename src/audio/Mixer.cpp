#include "audio/Mixer.h"

#include <algorithm>

namespace lark {

void Mixer::Render(float* out, std::size_t frames, std::int64_t firstFrame, const FrameMap& map) {
    PlayCommand command;
    while (queue_.Pop(command)) {
        StartVoice(command, firstFrame, map);
    }
    std::fill(out, out + frames, 0.0f);
    const std::int64_t endFrame = firstFrame + static_cast<std::int64_t>(frames);
    int sounding = 0;
    for (Voice& v : voices_) {
        if (v.state == VoiceState::Free) {
            continue;
        }
        if (v.startFrame >= endFrame) {
            ++sounding;  // waiting for a later buffer
            continue;
        }
        v.state = VoiceState::Sounding;
        const auto offset =
            static_cast<std::size_t>(std::max<std::int64_t>(v.startFrame - firstFrame, 0));
        const std::size_t n = std::min(frames - offset, v.length - v.position);
        const float* from = v.data + v.position;
        float* to = out + offset;
        for (std::size_t i = 0; i < n; ++i) {
            to[i] += from[i] * v.gain;
        }
        v.position += n;
        if (v.position >= v.length) {
            v.state = VoiceState::Free;
        } else {
            ++sounding;
        }
    }
    for (std::size_t i = 0; i < frames; ++i) {
        out[i] = std::clamp(out[i], -1.0f, 1.0f);
    }
    sounding_.store(sounding, std::memory_order_relaxed);
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
