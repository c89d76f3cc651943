#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "render/RenderModes.h"

namespace lark {

inline constexpr double kDefaultRenderSeconds = 60;
inline constexpr double kMostRenderSeconds = 3600;

// What the command line asks for. Only the fields its action uses are set.
struct CommandLine {
    enum class Action { Play, Render, Help, Version, Refuse };
    Action action = Action::Play;
    std::string refusal;                     // Refuse: what is wrong, in one line
    std::optional<std::uint64_t> seed;       // Play, Render
    std::string tracePlaysPath;              // Play, Render; empty for none
    const RenderMode* mode = nullptr;        // Render
    double seconds = kDefaultRenderSeconds;  // Render, a looped mode
    bool force = false;                      // Render
    std::string out;                         // Render
};

// Reads the arguments that follow the program's name. What it cannot take is Refuse.
CommandLine ParseCommandLine(std::span<const std::string_view> args);
CommandLine ParseCommandLine(int argc, const char* const* argv);

std::string HelpText();
std::string VersionText();

}  // namespace lark
