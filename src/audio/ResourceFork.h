#pragma once

#include <memory>
#include <vector>

#include "audio/Sound.h"

namespace lark {

// The application's resource store, addressed by number.
class ResourceFork {
  public:
    virtual ~ResourceFork() = default;
    // The clip under that number, or nullptr when there is none. Decodes on every call (the
    // sound bank caches).
    virtual std::shared_ptr<Sound> GetSound(int number) = 0;
    // Starts decoding these clips off the GUI thread, so that GetSound finds them
    // ready; it still makes a new Sound at each call. A store that has nothing to gain
    // ignores it.
    virtual void DecodeAhead(std::vector<int> /*numbers*/) {}
};

}  // namespace lark
