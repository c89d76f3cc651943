#pragma once

#include <memory>

#include "audio/ClipData.h"

namespace lark {

// Where a Sound's Play goes: the sound engine, or a recorder in tests. GUI thread only.
class ClipPlayer {
  public:
    virtual ~ClipPlayer() = default;
    // Starts a new voice of the clip now, at volume 0..100. Returns at once, never blocks.
    virtual void Start(std::shared_ptr<const ClipData> clip, int volume) = 0;
};

// One clip that can be played at a volume. Every Play starts the clip afresh on a voice of
// its own, so a clip played again while it still sounds is heard twice, overlapping. GUI
// thread only.
class Sound {
  public:
    // A player that has gone away makes Play a silent no-op.
    Sound(std::shared_ptr<const ClipData> clip, std::weak_ptr<ClipPlayer> player)
        : clip_(std::move(clip)), player_(std::move(player)) {}

    // 0 (mute) to 100 (the clip as recorded); values outside are clamped.
    void SetVolume(int volume);
    int Volume() const { return volume_; }
    // Returns at once; the clip sounds on.
    void Play();

    const std::shared_ptr<const ClipData>& clip() const { return clip_; }

  private:
    std::shared_ptr<const ClipData> clip_;
    std::weak_ptr<ClipPlayer> player_;
    int volume_ = 100;
};

}  // namespace lark
