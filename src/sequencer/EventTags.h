#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Runtime.h"
#include "platform/Task.h"
#include "sequencer/PlayEvent.h"
#include "sounds/SoundBank.h"

namespace lark {

// The events in sentence order, beep last, each under the tag the drawn modes keep in their
// lists. Two tags differ from their clip's name: "sstep" and "bleep".
struct TaggedEvent {
    std::string_view tag;
    EventGetter event;
};

inline constexpr std::array<TaggedEvent, 13> kTaggedEvents = {{
    {"thats", &SoundBank::thats},
    {"one1", &SoundBank::one1},
    {"small", &SoundBank::small},
    {"sstep", &SoundBank::step1},
    {"for1", &SoundBank::for1},
    {"man", &SoundBank::man},
    {"silence", &SoundBank::silence},
    {"one2", &SoundBank::one2},
    {"giant", &SoundBank::giant},
    {"leap", &SoundBank::leap},
    {"for2", &SoundBank::for2},
    {"mankind", &SoundBank::mankind},
    {"bleep", &SoundBank::beep},
}};

// A fresh event list: the tags of the table, in its order.
std::vector<std::string> EventList(std::span<const TaggedEvent> table);

// The event whose tag equals the given one, testing every row but the last in order; any
// other tag selects the last row.
EventGetter EventForTag(std::span<const TaggedEvent> table, std::string_view tag);

// Plays every event of the table once, in an order drawn without replacement from a fresh
// event list: a new Random for every draw, its range always the entries left, the last entry
// taken without a draw. Returns the start time of the last event's step.
Task<double> PlayInDrawnOrder(Runtime& runtime, SoundBank& sounds,
                              std::span<const TaggedEvent> table);

}  // namespace lark
