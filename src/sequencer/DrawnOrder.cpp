#include "sequencer/DrawnOrder.h"

#include <string>
#include <string_view>
#include <vector>

#include "sequencer/PlayEvent.h"

namespace lark {
namespace {

const Event& EventForTag(std::span<const Event> rows, std::string_view tag) {
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        if (rows[i].tag == tag) {
            return rows[i];
        }
    }
    return rows.back();
}

}  // namespace

Task<double> PlayInDrawnOrder(Runtime& runtime, SoundBank& sounds, std::span<const Event> rows) {
    std::vector<std::string> events;
    events.reserve(rows.size());
    for (const Event& row : rows) {
        events.emplace_back(row.tag);
    }
    const auto size = static_cast<std::int32_t>(rows.size());
    std::unique_ptr<Random> random;
    std::int32_t index = 0;
    for (std::int32_t k = 1; k < size; ++k) {
        random = runtime.NewRandom();
        index = random->InRange(0, size - k);
        co_await PlayEvent(runtime, sounds, EventForTag(rows, events[index]));
        events.erase(events.begin() + index);
    }
    index = 0;  // the last one left needs no draw
    co_return co_await PlayEvent(runtime, sounds, EventForTag(rows, events[index]));
}

}  // namespace lark
