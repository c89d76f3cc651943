#pragma once

#include <array>
#include <string_view>

#include "sounds/SoundBank.h"

namespace lark {

// An event: one of the thirteen clips, reached through its getter, under the tag the drawn
// modes keep in their lists, with the fixed hold after its Play (the same in every mode).
struct Event {
    std::string_view tag;
    SoundBank::Getter clip;
    double stepUs;
};

// In sentence order, the beep last. Two tags differ from their clip's name: "sstep" and
// "bleep". Looped 2 numbers the rows 1 to 13; looped 1 cycles through all but the beep.
inline constexpr std::array<Event, 13> kEvents = {{
    {"thats", &SoundBank::thats, 210000},
    {"one1", &SoundBank::one1, 580000},
    {"small", &SoundBank::small, 440000},
    {"sstep", &SoundBank::step1, 420000},
    {"for1", &SoundBank::for1, 210000},
    {"man", &SoundBank::man, 600000},
    {"silence", &SoundBank::silence, 2840000},
    {"one2", &SoundBank::one2, 1100000},
    {"giant", &SoundBank::giant, 410000},
    {"leap", &SoundBank::leap, 330000},
    {"for2", &SoundBank::for2, 190000},
    {"mankind", &SoundBank::mankind, 1260000},
    {"bleep", &SoundBank::beep, 270000},
}};
inline constexpr const Event& kBeep = kEvents.back();

// The row of a clip. Throws std::invalid_argument for a getter that is none of the thirteen.
const Event& EventFor(SoundBank::Getter clip);

}  // namespace lark
