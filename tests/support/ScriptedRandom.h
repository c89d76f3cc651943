#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "runtime/Random.h"

namespace lark::testing {

// Hands out scripted draws in order, then (if given) falls back to a repeatable generator.
// Records the range of every draw and how many Random objects were made.
class ScriptedRandomSource final : public RandomSource {
  public:
    explicit ScriptedRandomSource(std::vector<std::int32_t> script = {},
                                  std::uint64_t fallbackKey = 1);

    std::unique_ptr<Random> NewRandom() override;

    void Append(std::vector<std::int32_t> values);
    const std::vector<std::pair<std::int32_t, std::int32_t>>& ranges() const { return ranges_; }
    int made() const { return made_; }
    bool ScriptUsedUp() const { return script_.empty(); }
    // Called at every draw, before it is made: lets a test look at the world at that moment.
    std::function<void()> onDraw;

  private:
    class Scripted;
    std::int32_t Draw(Random& fallback, std::int32_t low, std::int32_t high);

    std::deque<std::int32_t> script_;
    MersenneRandomSource fallback_;
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges_;
    int made_ = 0;
};

}  // namespace lark::testing
