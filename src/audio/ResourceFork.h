#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "audio/DecodeAhead.h"
#include "audio/Sound.h"

namespace lark {

// The application's resource store, addressed by number.
class ResourceFork {
  public:
    virtual ~ResourceFork() = default;
    // The clip under that number, or nullptr when there is none. Decodes on every call (the
    // sound bank caches).
    virtual std::shared_ptr<Sound> GetSound(int number) = 0;
    // GUI thread. Starts decoding these clips off the GUI thread, so that GetSound finds them
    // ready; it still makes a new Sound at each call. A store that has nothing to gain
    // ignores it.
    virtual void DecodeAhead(std::vector<int> /*numbers*/) {}
};

// The bytes of the resource under a number, or nothing when there is none.
using ResourceReader = std::function<std::optional<std::vector<std::byte>>(int number)>;

// Reads the application's compiled-in clips, ":/clips/<number>".
std::optional<std::vector<std::byte>> ReadClipResource(int number);

// A store over any reader: clips are decoded to the output rate and played through player.
class ClipResourceFork final : public ResourceFork {
  public:
    ClipResourceFork(ResourceReader reader, std::weak_ptr<ClipPlayer> player, int outputRate)
        : reader_(std::move(reader)), player_(std::move(player)), outputRate_(outputRate) {}

    // Bytes that are missing or do not decode give nullptr.
    std::shared_ptr<Sound> GetSound(int number) override;
    // Once; later calls change nothing. The reader is then also called on a worker thread.
    void DecodeAhead(std::vector<int> numbers) override;

  private:
    std::shared_ptr<const ClipData> Decode(int number) const;

    ResourceReader reader_;
    std::weak_ptr<ClipPlayer> player_;
    int outputRate_;
    std::unique_ptr<lark::DecodeAhead> ahead_;  // last: its worker reads the fields above
};

}  // namespace lark
