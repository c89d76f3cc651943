#include "sounds/SoundBank.h"

#include <vector>

#include "runtime/NilObjectException.h"

namespace lark {

namespace {

// The one table of the clips: getter, name and resource number, in number order.
constexpr std::array<SoundBank::Clip, 13> kClips = {{
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

// A getter's row, looked up at its first call. (Comparing member function pointers is not a
// constant expression under every compiler's sanitizers.)
template <SoundBank::Getter getter>
std::size_t Row() {
    static const std::size_t row = [] {
        std::size_t r = 0;
        while (kClips[r].getter != getter) {
            ++r;
        }
        return r;
    }();
    return row;
}

}  // namespace

const std::array<SoundBank::Clip, 13>& SoundBank::Clips() {
    return kClips;
}

const SoundBank::Clip* SoundBank::Find(Getter getter) {
    for (const Clip& clip : kClips) {
        if (clip.getter == getter) {
            return &clip;
        }
    }
    return nullptr;
}

void SoundBank::DecodeAllAhead() {
    if (!resources_) {
        return;  // the getters will say so
    }
    std::vector<int> numbers;
    for (const Clip& clip : Clips()) {
        numbers.push_back(clip.number);
    }
    resources_->DecodeAhead(std::move(numbers));
}

Sound* SoundBank::thats() {
    return Load(Row<&SoundBank::thats>());
}
Sound* SoundBank::one1() {
    return Load(Row<&SoundBank::one1>());
}
Sound* SoundBank::small() {
    return Load(Row<&SoundBank::small>());
}
Sound* SoundBank::step1() {
    return Load(Row<&SoundBank::step1>());
}
Sound* SoundBank::for1() {
    return Load(Row<&SoundBank::for1>());
}
Sound* SoundBank::man() {
    return Load(Row<&SoundBank::man>());
}
Sound* SoundBank::silence() {
    return Load(Row<&SoundBank::silence>());
}
Sound* SoundBank::one2() {
    return Load(Row<&SoundBank::one2>());
}
Sound* SoundBank::giant() {
    return Load(Row<&SoundBank::giant>());
}
Sound* SoundBank::leap() {
    return Load(Row<&SoundBank::leap>());
}
Sound* SoundBank::for2() {
    return Load(Row<&SoundBank::for2>());
}
Sound* SoundBank::mankind() {
    return Load(Row<&SoundBank::mankind>());
}
Sound* SoundBank::beep() {
    return Load(Row<&SoundBank::beep>());
}

Sound* SoundBank::Load(std::size_t row) {
    std::shared_ptr<Sound>& cache = _snd[row];
    if (cache) {
        return cache.get();
    }
    if (!resources_) {
        throw NilObjectException("resource store");
    }
    // A nil result is stored too, which leaves the cache empty for the next call to retry.
    cache = resources_->GetSound(kClips[row].number);
    return cache.get();
}

}  // namespace lark
