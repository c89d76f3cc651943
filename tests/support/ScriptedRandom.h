#pragma once

#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "runtime/Random.h"

namespace lark::testing {

// Hands out scripted draws in order, then falls back to a repeatable generator. Records the
// range of every draw and how many Random objects were made.
class ScriptedRandomSource final : public RandomSource {
  public:
    std::unique_ptr<Random> NewRandom() override {
        ++made;
        return std::make_unique<Scripted>(*this);
    }
    void Append(const std::vector<std::int32_t>& values) {
        script.insert(script.end(), values.begin(), values.end());
    }

    std::deque<std::int32_t> script;  // the draws still to come
    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    int made = 0;
    // Called at every draw, before it is made: lets a test look at the world at that moment.
    std::function<void()> onDraw;

  private:
    struct Scripted final : Random {
        explicit Scripted(ScriptedRandomSource& source) : source(source) {}
        std::int32_t InRange(std::int32_t low, std::int32_t high) override {
            return source.Draw(low, high);
        }
        ScriptedRandomSource& source;
    };

    std::int32_t Draw(std::int32_t low, std::int32_t high) {
        if (onDraw) {
            onDraw();
        }
        ranges.emplace_back(low, high);
        if (script.empty()) {
            return std::uniform_int_distribution<std::int32_t>(low, high)(fallback_);
        }
        const std::int32_t value = script.front();
        script.pop_front();
        if (value < low || value > high) {
            throw std::logic_error("scripted draw " + std::to_string(value) + " out of range");
        }
        return value;
    }

    std::mt19937 fallback_{1};
};

}  // namespace lark::testing
