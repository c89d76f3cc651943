#include "support/FakeSounds.h"

namespace lark::testing {

std::shared_ptr<Sound> FakeStore::GetSound(int number) {
    ++loads_[number];
    if (missing.count(number) != 0) {
        return nullptr;
    }
    auto clip = std::make_shared<ClipData>();
    numbers_[clip.get()] = number;
    return std::make_shared<Sound>(std::move(clip), player_);
}

int FakeStore::NumberOf(const ClipData* clip) const {
    const auto it = numbers_.find(clip);
    return it == numbers_.end() ? 0 : it->second;
}

int FakeStore::Loads(int number) const {
    const auto it = loads_.find(number);
    return it == loads_.end() ? 0 : it->second;
}

}  // namespace lark::testing
