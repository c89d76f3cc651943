#include "audio/SoundSystem.h"

#include "audio/PortAudioOutput.h"

namespace lark {

SoundSystem::SoundSystem(const Clock& clock, ResourceReader reader)
    : engine_(std::make_shared<SoundEngine>(clock)),
      resources_(std::make_unique<ClipResourceFork>(std::move(reader), engine_,
                                                    SoundEngine::kOutputRate)) {}

std::unique_ptr<SoundSystem> SoundSystem::Open(const Clock& clock, const OutputFactory& output,
                                               ResourceReader reader, std::ostream& log) {
    auto system = std::make_unique<SoundSystem>(clock, std::move(reader));
    system->engine_->OpenOutput(output, log);
    return system;
}

std::unique_ptr<SoundSystem> SoundSystem::OpenDefault(const Clock& clock, std::ostream& log) {
    const OutputFactory device = [&clock](Mixer& mixer,
                                          std::string& whyNot) -> std::unique_ptr<AudioOutput> {
        return PortAudioOutput::Open(mixer, clock, whyNot);
    };
    return Open(clock, device, ReadClipResource, log);
}

}  // namespace lark
