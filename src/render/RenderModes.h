#pragma once

#include <array>
#include <string_view>

#include "sequencer/Modes.h"

namespace lark {

// A mode as a render names it on the command line.
struct RenderMode {
    std::string_view name;
    Task<> (*run)(Runtime& runtime, SoundBank& sounds, Stage& stage);
    bool endsByItself;  // else it plays until stopped
};

inline constexpr std::array<RenderMode, 3> kRenderModes = {{
    {"one-shot", &OneShot, true},
    {"looped-1", &LoopedOne, false},
    {"looped-2", &LoopedTwo, false},
}};

// The mode of that name, or nullptr.
inline const RenderMode* FindRenderMode(std::string_view name) {
    for (const RenderMode& mode : kRenderModes) {
        if (mode.name == name) {
            return &mode;
        }
    }
    return nullptr;
}

}  // namespace lark
