#include "support/ScriptedRandom.h"

#include <stdexcept>
#include <string>

namespace lark::testing {

class ScriptedRandomSource::Scripted final : public Random {
  public:
    Scripted(ScriptedRandomSource& source, std::unique_ptr<Random> fallback)
        : source_(source), fallback_(std::move(fallback)) {}
    std::int32_t InRange(std::int32_t low, std::int32_t high) override {
        return source_.Draw(*fallback_, low, high);
    }

  private:
    ScriptedRandomSource& source_;
    std::unique_ptr<Random> fallback_;
};

ScriptedRandomSource::ScriptedRandomSource(std::vector<std::int32_t> script,
                                           std::uint64_t fallbackKey)
    : script_(script.begin(), script.end()), fallback_(fallbackKey) {}

std::unique_ptr<Random> ScriptedRandomSource::NewRandom() {
    ++made_;
    return std::make_unique<Scripted>(*this, fallback_.NewRandom());
}

void ScriptedRandomSource::Append(std::vector<std::int32_t> values) {
    script_.insert(script_.end(), values.begin(), values.end());
}

std::int32_t ScriptedRandomSource::Draw(Random& fallback, std::int32_t low, std::int32_t high) {
    if (onDraw) {
        onDraw();
    }
    ranges_.emplace_back(low, high);
    if (script_.empty()) {
        return fallback.InRange(low, high);
    }
    const std::int32_t value = script_.front();
    script_.pop_front();
    if (value < low || value > high) {
        throw std::logic_error("scripted draw " + std::to_string(value) + " outside " +
                               std::to_string(low) + ".." + std::to_string(high));
    }
    return value;
}

}  // namespace lark::testing
