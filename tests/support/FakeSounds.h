#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "audio/ResourceFork.h"
#include "audio/Sound.h"
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
    std::shared_ptr<Sound> GetSound(int number) override;

    // The resource number of a clip this store handed out, or 0.
    int NumberOf(const ClipData* clip) const;
    int Loads(int number) const;

    std::set<int> missing;

  private:
    std::weak_ptr<ClipPlayer> player_;
    std::map<const ClipData*, int> numbers_;
    std::map<int, int> loads_;
};

}  // namespace lark::testing
