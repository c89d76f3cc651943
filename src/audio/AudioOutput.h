#pragma once

#include <cstddef>
#include <vector>

#include "audio/Mixer.h"

namespace lark {

// Where the mixer's sum goes. An output pulls from a Mixer that outlives it, on its own
// schedule: a device's callback thread, or the caller of an offline render.
class AudioOutput {
  public:
    virtual ~AudioOutput() = default;
    // False for the silent stand-in: nothing ever renders, so there is no point in sending.
    virtual bool Renders() const = 0;
    // Right after a Play was sent; returns at once. An output that stops while
    // nothing sounds starts again.
    virtual void Wake() {}
};

// Stands in when there is no device: the piece goes on, unheard.
class SilentOutput final : public AudioOutput {
  public:
    bool Renders() const override { return false; }
};

// Renders the mix into memory in virtual time, for tests and benchmarks: a command stamped
// with the clock reading t lands on frame round((t - originUs) * rate / 1e6). Render calls
// come from the thread that sends, so there is no second thread at all.
class OfflineOutput final : public AudioOutput {
  public:
    OfflineOutput(Mixer& mixer, double originUs, int rate = kOutputRateHz)
        : mixer_(mixer), map_{originUs, 0, static_cast<double>(rate)} {}

    bool Renders() const override { return true; }

    // Renders the next frames of the timeline onto the end of the recording.
    void Render(std::size_t frames);
    // Renders on up to (not including) the frame that the clock reading us maps to.
    void RenderUntil(double us);

    const std::vector<float>& Rendered() const { return rendered_; }
    const FrameMap& Map() const { return map_; }

  private:
    Mixer& mixer_;
    FrameMap map_;
    std::vector<float> rendered_;
};

}  // namespace lark
