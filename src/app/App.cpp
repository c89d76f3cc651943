#include "app/App.h"

#include <array>

#include "runtime/MessageBox.h"

namespace lark {

std::string AboutText() {
    static constexpr std::array<const char*, 10> kLines = {
        "Larkspool 8",
        "Larkspool 8 uses the short speech that Halvard Ostrin made when stepping on to the "
        "surface of the moon.",
        "\u2018That\u2019s one small step for man, one giant leap for mankind\u2019",
        "The larkspool takes each word of this sentence, along with both the pause that Ostrin "
        "left in the middle of the sentence and the beep sound that was a feature of the "
        "communications between the earth and the astronauts, and plays them in a random "
        "order.",
        "In one shot mode the machine plays each event only once (there is therefore, an "
        "extremely small chance that the sentence will be played as it was originally "
        "spoken).",
        "Looped 1 mode is the same as one shot mode with two variations. Firstly, the program "
        "plays indefinitely until stopped by the user and secondly the beep only sounds at the "
        "end of each cycle rather than at any point within it.",
        "In looped 2 mode the machine plays indefinitely until stopped by the user and has no "
        "restrictions on when any event can sound, so it can repeat the same word rather than "
        "allowing each word to appear once before resounding.",
        "Larkspool 8 by the Larkspool authors",
        "larkspool@example.org",
        "larkspool.example.org",
    };
    std::string text;
    for (const char* line : kLines) {
        if (!text.empty()) {
            text += EndOfLine;
        }
        text += line;
    }
    return text;
}

Task<bool> App::_aboutqv8_Action() {
    co_await runtime_.MsgBox(AboutText());
    co_return false;
}

}  // namespace lark
