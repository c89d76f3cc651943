#include "audio/SoundSystem.h"

#include "audio/PortAudioOutput.h"
#include "audio/PulseOutput.h"

namespace lark {

SoundSystem::SoundSystem(const Clock& clock, ResourceReader reader)
    : engine_(std::make_shared<SoundEngine>(clock)),
      resources_(std::make_unique<ClipResourceFork>(std::move(reader), engine_, kOutputRateHz)) {}

std::unique_ptr<SoundSystem> SoundSystem::Open(const Clock& clock, const OutputFactory& output,
                                               ResourceReader reader, std::ostream& log) {
    auto system = std::make_unique<SoundSystem>(clock, std::move(reader));
    system->engine_->OpenOutput(output, log);
    return system;
}

std::unique_ptr<SoundSystem> SoundSystem::OpenDefault(const Clock& clock, std::ostream& log) {
    const OutputFactory device = [&clock](Mixer& mixer,
                                          std::string& whyNot) -> std::unique_ptr<AudioOutput> {
        // The sound server's own client first: cheapest while playing, and nothing at all
        // while silent. PortAudio for machines with plain ALSA or JACK.
        std::string noServer;
        if (auto pulse = PulseOutput::Open(mixer, clock, noServer)) {
            return pulse;
        }
        std::unique_ptr<AudioOutput> device = PortAudioOutput::Open(mixer, clock, whyNot);
        if (!device) {
            whyNot = noServer + "; " + whyNot;
        }
        return device;
    };
    return Open(clock, device, ReadClipResource, log);
}

}  // namespace lark
