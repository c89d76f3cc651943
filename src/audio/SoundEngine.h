#pragma once

#include <cstdint>
#include <memory>
#include <ostream>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/Mixer.h"
#include "audio/Sound.h"
#include "runtime/Clock.h"

namespace lark {

// Sends each Play to the mixer stamped with the clock reading it was made at, so the output
// can sound it at that moment plus a constant latency. Holds on to every clip it was asked to
// play, for as long as the output may read it, so no clip is ever freed on the audio thread.
// GUI thread only.
class SoundEngine final : public ClipPlayer {
  public:
    explicit SoundEngine(const Clock& clock) : clock_(clock) {}
    ~SoundEngine() override;
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Opens the output through the factory. When it fails, a silent output takes its place and
    // the reason goes to log, once, as one line. Returns whether the output renders.
    bool OpenOutput(const OutputFactory& factory, std::ostream& log);

    void Start(std::shared_ptr<const ClipData> clip, int volume) override;

    bool Silent() const { return !output_ || !output_->Renders(); }
    // Plays lost because the output had stopped taking them (a full queue).
    std::uint64_t Dropped() const { return dropped_; }
    Mixer& mixer() { return mixer_; }

  private:
    const Clock& clock_;
    std::vector<std::shared_ptr<const ClipData>> kept_;
    std::uint64_t dropped_ = 0;
    Mixer mixer_;
    std::unique_ptr<AudioOutput> output_;  // last: stops before the mixer and clips go
};

}  // namespace lark
