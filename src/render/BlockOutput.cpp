#include "render/BlockOutput.h"

#include <algorithm>

namespace lark {

BlockOutput::BlockOutput(Mixer& mixer, double originUs, Sink sink)
    : mixer_(mixer),
      map_{originUs, 0, kOutputRateHz},
      sink_(std::move(sink)),
      block_(kBlockInFrames) {}

void BlockOutput::RenderTo(std::int64_t endFrame) {
    while (rendered_ < endFrame) {
        const auto frames =
            static_cast<std::size_t>(std::min<std::int64_t>(endFrame - rendered_, kBlockInFrames));
        mixer_.Render(block_.data(), frames, rendered_, map_);
        rendered_ += static_cast<std::int64_t>(frames);
        sink_(std::span<const float>(block_.data(), frames));
    }
}

}  // namespace lark
