#include "audio/SoundSystem.h"

#include <QFile>
#include <QString>
#include <algorithm>
#include <stdexcept>

#include "audio/PortAudioOutput.h"
#include "audio/PulseOutput.h"

namespace lark {

std::optional<std::vector<std::byte>> ReadClipResource(int number) {
    QFile file(QStringLiteral(":/clips/%1").arg(number));
    if (!file.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray data = file.readAll();
    const auto* first = reinterpret_cast<const std::byte*>(data.constData());
    return std::vector<std::byte>(first, first + data.size());
}

std::shared_ptr<SoundSystem> SoundSystem::Open(const Clock& clock, const OutputOpener& output,
                                               Reader reader, std::ostream& log) {
    auto system = std::make_shared<SoundSystem>(clock, std::move(reader));
    system->OpenOutput(output, log);
    return system;
}

std::shared_ptr<SoundSystem> SoundSystem::OpenDefault(const Clock& clock, std::ostream& log) {
    const OutputOpener device = [&clock](Mixer& mixer,
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

SoundSystem::SoundSystem(const Clock& clock, Reader reader)
    : clock_(clock), reader_(std::move(reader)) {
    wake_.setSingleShot(true);
    wake_.setInterval(0);
    QObject::connect(&wake_, &QTimer::timeout, [this] {
        if (output_) {
            output_->Wake();
        }
    });
}

SoundSystem::~SoundSystem() {
    ahead_.reset();
    output_.reset();
}

bool SoundSystem::OpenOutput(const OutputOpener& opener, std::ostream& log) {
    output_.reset();
    std::string whyNot;
    output_ = opener ? opener(mixer_, whyNot) : nullptr;
    if (!output_) {
        output_ = std::make_unique<SilentOutput>();
        log << "No sound output (" << (whyNot.empty() ? "none available" : whyNot)
            << "); the piece goes on in silence." << std::endl;
        return false;
    }
    return output_->Renders();
}

std::shared_ptr<const ClipData> SoundSystem::Decode(int number) const {
    const std::optional<std::vector<std::byte>> bytes = reader_ ? reader_(number) : std::nullopt;
    return bytes ? DecodeClip(*bytes, kOutputRateHz) : nullptr;
}

std::shared_ptr<Sound> SoundSystem::GetSound(int number) {
    std::optional<std::shared_ptr<const ClipData>> ready;
    if (ahead_) {
        ready = ahead_->Take(number);
    }
    std::shared_ptr<const ClipData> clip = ready ? std::move(*ready) : Decode(number);
    if (!clip) {
        return nullptr;
    }
    numbers_[clip.get()] = {clip, number};
    return std::make_shared<Sound>(std::move(clip), weak_from_this());
}

void SoundSystem::DecodeAhead(std::vector<int> numbers) {
    if (!ahead_) {
        ahead_ = std::make_unique<lark::DecodeAhead>(std::move(numbers),
                                                     [this](int number) { return Decode(number); });
    }
}

void SoundSystem::Start(std::shared_ptr<const ClipData> clip, int volume) {
    if (clip && clip->sampleRate != kOutputRateHz) {
        // The mixer copies samples frame for frame: at another rate the clip would play at the
        // wrong pitch and length.
        throw std::invalid_argument("a clip at " + std::to_string(clip->sampleRate) +
                                    " Hz cannot play on the " + std::to_string(kOutputRateHz) +
                                    " Hz output");
    }
    if (!clip || (Silent() && !observer_)) {
        return;
    }
    const double nowUs = clock_.Microseconds();
    if (observer_) {
        const auto known = numbers_.find(clip.get());
        const bool same = known != numbers_.end() && known->second.clip.lock() == clip;
        observer_({same ? known->second.number : 0, nowUs, clip->samples.size()});
    }
    if (Silent()) {
        return;
    }
    if (std::find(kept_.begin(), kept_.end(), clip) == kept_.end()) {
        kept_.push_back(clip);
    }
    const PlayCommand command{clip.get(), nowUs, static_cast<float>(volume) / 100.0f};
    ++sent_;
    if (!mixer_.Submit(command)) {
        ++dropped_;
    }
    // The output takes the command in when it wakes. Waking it is a system call, and the
    // output's thread may take this core for a moment: both wait until control is back in the
    // event loop, so they fall inside the step that this Play begins rather than lengthen it.
    if (!wake_.isActive()) {
        wake_.start();
    }
}

}  // namespace lark
