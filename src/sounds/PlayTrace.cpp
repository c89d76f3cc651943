#include "sounds/PlayTrace.h"

#include <array>
#include <charconv>

#include "sounds/SoundBank.h"

namespace lark {

std::string_view ClipNameOf(int number) {
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        if (clip.number == number) {
            return clip.name;
        }
    }
    return "unknown";
}

void PlayTrace::Add(int number, double atUs) {
    // The shortest digits that read back as the same double, never in exponent form.
    std::array<char, 64> digits{};
    const auto end =
        std::to_chars(digits.begin(), digits.end(), atUs, std::chars_format::fixed).ptr;
    out_ << ClipNameOf(number) << ' ' << std::string_view(digits.begin(), end) << '\n';
}

}  // namespace lark
