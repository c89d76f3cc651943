#include "audio/Sound.h"

#include <algorithm>

namespace lark {

void Sound::SetVolume(int volume) {
    volume_ = std::clamp(volume, 0, 100);
}

void Sound::Play() {
    if (auto player = player_.lock()) {
        player->Start(clip_, volume_);
    }
}

}  // namespace lark
