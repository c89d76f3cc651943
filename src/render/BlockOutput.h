#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/Mixer.h"

namespace lark {

// The output of a render: the mixer's timeline rendered in order when asked, a block at a time,
// each block handed to a sink; nothing is kept. Called from the thread that sends the Plays.
class BlockOutput final : public AudioOutput {
  public:
    using Sink = std::function<void(std::span<const float> frames)>;
    static constexpr std::size_t kBlockInFrames = 4096;

    // The clock reading originUs sounds at frame 0.
    BlockOutput(Mixer& mixer, double originUs, Sink sink);

    bool Renders() const override { return true; }

    // Renders the frames from the last one rendered up to (not including) endFrame.
    void RenderTo(std::int64_t endFrame);
    std::int64_t RenderedFrames() const { return rendered_; }
    const FrameMap& Map() const { return map_; }

  private:
    Mixer& mixer_;
    FrameMap map_;
    Sink sink_;
    std::vector<float> block_;
    std::int64_t rendered_ = 0;
};

}  // namespace lark
