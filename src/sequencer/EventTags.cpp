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

}  // namespace lark
