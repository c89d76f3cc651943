#include "audio/SoundEngine.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace lark {

SoundEngine::~SoundEngine() {
    output_.reset();
}

bool SoundEngine::OpenOutput(const OutputFactory& factory, std::ostream& log) {
    output_.reset();
    std::string whyNot;
    output_ = factory ? factory(mixer_, whyNot) : nullptr;
    if (!output_) {
        output_ = std::make_unique<SilentOutput>();
        log << "No sound output (" << (whyNot.empty() ? "none available" : whyNot)
            << "); the piece goes on in silence." << std::endl;
        return false;
    }
    return output_->Renders();
}

void SoundEngine::Start(std::shared_ptr<const ClipData> clip, int volume) {
    if (clip && clip->sampleRate != kOutputRateHz) {
        // The mixer copies samples frame for frame: at another rate the clip would play at the
        // wrong pitch and length.
        throw std::invalid_argument("a clip at " + std::to_string(clip->sampleRate) +
                                    " Hz cannot play on the " + std::to_string(kOutputRateHz) +
                                    " Hz output");
    }
    if (!clip || Silent()) {
        return;
    }
    // Waking a stopped output may hand it the core for a moment: the stamp comes after, so
    // that moment is not added to the step that this Play begins.
    output_->Wake();
    const double nowUs = clock_.Microseconds();
    if (std::find(kept_.begin(), kept_.end(), clip) == kept_.end()) {
        kept_.push_back(clip);
    }
    const PlayCommand command{clip.get(), nowUs, static_cast<float>(volume) / 100.0f};
    if (!mixer_.Submit(command)) {
        ++dropped_;
    }
}

}  // namespace lark
