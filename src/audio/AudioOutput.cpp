#include "audio/AudioOutput.h"

namespace lark {

void OfflineOutput::Render(std::size_t frames) {
    const std::size_t first = rendered_.size();
    rendered_.resize(first + frames);
    mixer_.Render(rendered_.data() + first, frames, static_cast<std::int64_t>(first), map_);
}

void OfflineOutput::RenderUntil(double us) {
    const std::int64_t end = map_.FrameAt(us);
    const auto have = static_cast<std::int64_t>(rendered_.size());
    if (end > have) {
        Render(static_cast<std::size_t>(end - have));
    }
}

}  // namespace lark
