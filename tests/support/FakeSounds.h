#pragma once

#include <map>
#include <memory>
#include <set>
#include <vector>

#include "audio/ClipData.h"
#include "audio/ResourceFork.h"
#include "audio/Sound.h"
#include "audio/SoundSystem.h"
#include "runtime/Clock.h"

namespace lark::testing {

// Records every Play: which clip, at what volume, at what clock reading.
class RecordingPlayer final : public ClipPlayer {
  public:
    struct Played {
        const ClipData* clip;
        int volume;
        double atUs;
    };
    explicit RecordingPlayer(const Clock& clock) : clock_(clock) {}
    void Start(std::shared_ptr<const ClipData> clip, int volume) override {
        played.push_back({clip.get(), volume, clock_.Microseconds()});
    }
    std::vector<Played> played;

  private:
    const Clock& clock_;
};

// A resource store of tiny clips that play into a recorder. Numbers in `missing` have no
// clip. Remembers which number each clip it handed out stands for.
class FakeStore final : public ResourceFork {
  public:
    explicit FakeStore(std::weak_ptr<ClipPlayer> player) : player_(std::move(player)) {}
    std::shared_ptr<Sound> GetSound(int number) override {
        ++loads[number];
        if (missing.count(number) != 0) {
            return nullptr;
        }
        auto clip = std::make_shared<ClipData>();
        numbers_[clip.get()] = number;
        return std::make_shared<Sound>(std::move(clip), player_);
    }

    void DecodeAhead(std::vector<int> numbers) override { decodedAhead = std::move(numbers); }

    // The resource number of a clip this store handed out.
    int NumberOf(const ClipData* clip) const { return numbers_.at(clip); }

    std::set<int> missing;
    std::map<int, int> loads;       // by resource number
    std::vector<int> decodedAhead;  // what it was last asked to decode ahead

  private:
    std::weak_ptr<ClipPlayer> player_;
    std::map<const ClipData*, int> numbers_;
};

// Encoded clips for a sound system's store: clip n is the constant ConstantOf(n) for the frames
// asked, so a mix shows which clip sounds on which frame.
inline float ConstantOf(int number) {
    return static_cast<float>(number * 100) / 32768.0f;
}
inline SoundSystem::Reader ConstantClips(std::size_t lengthInFrames) {
    return [lengthInFrames](int number) -> std::optional<std::vector<std::byte>> {
        const std::vector<std::int16_t> pcm(lengthInFrames,
                                            static_cast<std::int16_t>(number * 100));
        return EncodeClip(pcm, kOutputRateHz, 1, ClipFormat::Wav16);
    };
}

}  // namespace lark::testing
