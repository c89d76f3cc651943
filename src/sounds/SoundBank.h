#pragma once

#include <array>
#include <memory>
#include <vector>

#include "audio/ResourceFork.h"
#include "audio/Sound.h"

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

    // nullptr means the application has no resource store: the getter that needs one throws
    // NilObjectException. The store must outlive the bank.
    explicit SoundBank(ResourceFork* resources) : resources_(resources) {}

    // Has the store decode all thirteen off the GUI thread, so that each getter's first call
    // finds its clip ready. Fills no cache: the getters still do that at their first call.
    void DecodeAllAhead();

    Sound* thats();
    Sound* one1();
    Sound* small();
    Sound* step1();
    Sound* for1();
    Sound* man();
    Sound* silence();
    Sound* one2();
    Sound* giant();
    Sound* leap();
    Sound* for2();
    Sound* mankind();
    Sound* beep();

  private:
    // The clip of row `row` of Clips(): its cache `_snd` is filled once, never emptied or
    // replaced.
    Sound* Load(std::size_t row);

    ResourceFork* resources_;
    std::array<std::shared_ptr<Sound>, 13> _snd;
};

}  // namespace lark
