#include "sequencer/EventTags.h"

namespace lark {

std::vector<std::string> EventList(std::span<const TaggedEvent> table) {
    std::vector<std::string> list;
    list.reserve(table.size());
    for (const TaggedEvent& row : table) {
        list.emplace_back(row.tag);
    }
    return list;
}

EventGetter EventForTag(std::span<const TaggedEvent> table, std::string_view tag) {
    for (std::size_t i = 0; i + 1 < table.size(); ++i) {
        if (table[i].tag == tag) {
            return table[i].event;
        }
    }
    return table.back().event;
}

Task<double> PlayInDrawnOrder(Runtime& runtime, SoundBank& sounds,
                              std::span<const TaggedEvent> table) {
    std::vector<std::string> events = EventList(table);
    const auto size = static_cast<std::int32_t>(table.size());
    std::unique_ptr<Random> random;
    std::int32_t index = 0;
    for (std::int32_t k = 1; k < size; ++k) {
        random = runtime.NewRandom();
        index = random->InRange(0, size - k);
        co_await PlayEvent(runtime, sounds, EventForTag(table, events[index]));
        events.erase(events.begin() + index);
    }
    index = 0;  // the last one left needs no draw
    co_return co_await PlayEvent(runtime, sounds, EventForTag(table, events[index]));
}

}  // namespace lark
