#pragma once

#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/ResourceFork.h"
#include "platform/Sound.h"

namespace lark {

// The thirteen clips of the piece by name. Each getter loads its clip from the application's
// resource store at the first call that finds it and hands out that same object from then on,
// so a volume set through one call holds for the next. A clip the store lacks gives nullptr
// and is asked for again next time. Called from performance threads, which are cooperative:
// a getter never gives way, so no lock is needed.
class SoundBank {
  public:
    using Getter = Sound* (SoundBank::*)();
    struct Clip {
        Getter getter;
        const char* name;
        int number;  // in the resource store
    };
    // The thirteen, in the order of their resource numbers (168 to 180).
    static const std::array<Clip, 13>& Clips();
    // The clip a getter stands for, or nullptr for none of the thirteen.
    static const Clip* Find(Getter getter);

    // The store is looked up afresh on each load; nullptr means the application has none, and
    // the getter that needs it throws NilObjectException.
    explicit SoundBank(std::function<ResourceFork*()> resources)
        : resources_(std::move(resources)) {}

    // Has the store decode all thirteen off the GUI thread, so that each getter's first call
    // finds its clip ready. Fills no cache: the getters still do that at their first call.
    void DecodeAllAhead();

    Sound* thats() { return Load(thats_); }
    Sound* one1() { return Load(one1_); }
    Sound* small() { return Load(small_); }
    Sound* step1() { return Load(step1_); }
    Sound* for1() { return Load(for1_); }
    Sound* man() { return Load(man_); }
    Sound* silence() { return Load(silence_); }
    Sound* one2() { return Load(one2_); }
    Sound* giant() { return Load(giant_); }
    Sound* leap() { return Load(leap_); }
    Sound* for2() { return Load(for2_); }
    Sound* mankind() { return Load(mankind_); }
    Sound* beep() { return Load(beep_); }

  private:
    // One clip's cache: filled once, never emptied or replaced.
    struct CachedClip {
        explicit CachedClip(int resourceNumber) : number(resourceNumber) {}
        const int number;
        std::shared_ptr<Sound> _snd;
    };

    Sound* Load(CachedClip& clip);

    std::function<ResourceFork*()> resources_;
    CachedClip thats_{180};
    CachedClip one1_{175};
    CachedClip small_{178};
    CachedClip step1_{179};
    CachedClip for1_{169};
    CachedClip man_{173};
    CachedClip silence_{177};
    CachedClip one2_{176};
    CachedClip giant_{171};
    CachedClip leap_{172};
    CachedClip for2_{170};
    CachedClip mankind_{174};
    CachedClip beep_{168};
};

}  // namespace lark
