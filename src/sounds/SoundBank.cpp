#include "sounds/SoundBank.h"

#include "platform/NilObjectException.h"

namespace lark {

const std::array<SoundBank::Clip, 13>& SoundBank::Clips() {
    static const std::array<Clip, 13> clips = {{
        {&SoundBank::beep, "beep", 168},
        {&SoundBank::for1, "for1", 169},
        {&SoundBank::for2, "for2", 170},
        {&SoundBank::giant, "giant", 171},
        {&SoundBank::leap, "leap", 172},
        {&SoundBank::man, "man", 173},
        {&SoundBank::mankind, "mankind", 174},
        {&SoundBank::one1, "one1", 175},
        {&SoundBank::one2, "one2", 176},
        {&SoundBank::silence, "silence", 177},
        {&SoundBank::small, "small", 178},
        {&SoundBank::step1, "step1", 179},
        {&SoundBank::thats, "thats", 180},
    }};
    return clips;
}

const SoundBank::Clip* SoundBank::Find(Getter getter) {
    for (const Clip& clip : Clips()) {
        if (clip.getter == getter) {
            return &clip;
        }
    }
    return nullptr;
}

void SoundBank::DecodeAllAhead() {
    ResourceFork* store = resources_ ? resources_() : nullptr;
    if (!store) {
        return;  // the getters will say so
    }
    std::vector<int> numbers;
    for (const Clip& clip : Clips()) {
        numbers.push_back(clip.number);
    }
    store->DecodeAhead(std::move(numbers));
}

Sound* SoundBank::Load(CachedClip& clip) {
    if (clip._snd) {
        return clip._snd.get();
    }
    ResourceFork* store = resources_ ? resources_() : nullptr;
    if (!store) {
        throw NilObjectException("resource store");
    }
    // A nil result is stored too, which leaves the cache empty for the next call to retry.
    clip._snd = store->GetSound(clip.number);
    return clip._snd.get();
}

}  // namespace lark
