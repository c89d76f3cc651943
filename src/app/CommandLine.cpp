#include "app/CommandLine.h"

#include <charconv>
#include <set>
#include <vector>

#ifndef LARK_VERSION
#define LARK_VERSION "unknown"
#endif

namespace lark {
namespace {

// The options, as the parser takes them and the help lists them.
struct Option {
    std::string_view name;
    std::string_view value;  // empty: a flag
    std::string_view help;   // lines after the first indented by the help
};

constexpr Option kOptions[] = {
    {"--seed", "N",
     "every performance draws from a source seeded with N, a whole number\n"
     "from 0 to 18446744073709551615: the same N plays the same orders again"},
    {"--trace-plays", "FILE",
     "write one line per Play to FILE: the clip's name and the clock reading\n"
     "stamped on the Play, in microseconds"},
    {"--render", "MODE",
     "open no window and no sound device: render one performance of MODE\n"
     "(one-shot, looped-1 or looped-2) to OUT, and print its clips in order,\n"
     "one a line, with their starts in seconds from the first"},
    {"--seconds", "S",
     "how long a looped mode plays in a render before it stops as stop would\n"
     "stop it, the clip sounding then playing out (default 60, at most 3600)"},
    {"--force", "", "let a render replace an existing OUT"},
    {"--help", "", "print this help and exit (also -h)"},
    {"--version", "", "print the version and exit"},
};

const Option* FindOption(std::string_view name) {
    for (const Option& option : kOptions) {
        if (option.name == name) {
            return &option;
        }
    }
    return nullptr;
}

std::string Quoted(std::string_view text) {
    std::string quoted = "'";
    quoted.append(text).append("'");
    return quoted;
}

template <typename T>
std::optional<T> ParsedAs(std::string_view text) {
    T value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty()
               ? std::optional(value)
               : std::nullopt;
}

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

class Parser {
  public:
    CommandLine Parse(std::span<const std::string_view> args) {
        for (std::size_t i = 0; i < args.size() && !Refused(); ++i) {
            std::string_view arg = args[i];
            if (endOfOptions_ || arg == "-" || !arg.starts_with('-')) {
                Positional(arg);
                continue;
            }
            if (arg == "--") {
                endOfOptions_ = true;
                continue;
            }
            const std::size_t eq = arg.find('=');
            const std::string_view name = arg == "-h" ? "--help" : arg.substr(0, eq);
            const Option* option = FindOption(name);
            if (!option) {
                Refuse("unknown option " + Quoted(arg));
                break;
            }
            if (!seen_.insert(name).second) {
                Refuse(std::string(name) + " is given twice");
                break;
            }
            std::optional<std::string_view> value;
            if (eq != std::string_view::npos) {
                value = arg.substr(eq + 1);
            } else if (!option->value.empty() && i + 1 < args.size()) {
                value = args[++i];
            }
            if (option->value.empty() != !value) {
                std::string why(name);
                why.append(value ? " takes no value" : " needs a value, ").append(option->value);
                Refuse(why);
                break;
            }
            if (name == "--help" || name == "--version") {
                line_ = CommandLine{};
                line_.action = name == "--help" ? Action::Help : Action::Version;
                return line_;
            }
            Take(name, value.value_or(""));
        }
        if (!Refused()) {
            Check();
        }
        return line_;
    }

  private:
    using Action = CommandLine::Action;

    void Take(std::string_view name, std::string_view value) {
        if (name == "--seed") {
            line_.seed = ParsedAs<std::uint64_t>(value);
            if (!line_.seed) {
                Refuse("--seed takes a whole number from 0 to 18446744073709551615, not " +
                       Quoted(value));
            }
        } else if (name == "--trace-plays") {
            line_.tracePlaysPath = value;
            if (value.empty()) {
                Refuse("--trace-plays needs a file name");
            }
        } else if (name == "--render") {
            line_.action = Action::Render;
            line_.mode = FindRenderMode(value);
            if (!line_.mode) {
                Refuse("--render takes one-shot, looped-1 or looped-2, not " + Quoted(value));
            }
        } else if (name == "--seconds") {
            const auto seconds = ParsedAs<double>(value);
            line_.seconds = seconds.value_or(0);
            if (!(line_.seconds > 0 && line_.seconds <= kMostRenderSeconds)) {
                Refuse("--seconds takes a number above 0 and at most 3600, not " + Quoted(value));
            }
        } else if (name == "--force") {
            line_.force = true;
        }
    }

    void Positional(std::string_view arg) {
        if (line_.out.empty()) {
            line_.out = arg;
        } else {
            Refuse("one output file only, not also " + Quoted(arg));
        }
    }

    // What holds only for the options together.
    void Check() {
        if (line_.action != Action::Render) {
            for (const char* renderOnly : {"--seconds", "--force"}) {
                if (seen_.contains(renderOnly)) {
                    Refuse(std::string(renderOnly) + " is for --render only");
                    return;
                }
            }
            if (!line_.out.empty()) {
                Refuse("unexpected argument " + Quoted(line_.out));
            }
            return;
        }
        if (!line_.seed) {
            Refuse("--render needs --seed N");
        } else if (line_.out.empty()) {
            Refuse("--render needs an output file OUT, ending .wav or .flac");
        } else if (!EndsWith(line_.out, ".wav") && !EndsWith(line_.out, ".flac")) {
            Refuse("the output file must end .wav or .flac, not " + Quoted(line_.out));
        } else if (line_.mode->endsByItself && seen_.contains("--seconds")) {
            std::string why = "--seconds is for the looped modes; ";
            Refuse(why.append(line_.mode->name).append(" ends by itself"));
        }
    }

    void Refuse(std::string why) {
        line_ = CommandLine{};
        line_.action = Action::Refuse;
        line_.refusal = std::move(why);
    }
    bool Refused() const { return line_.action == Action::Refuse; }

    CommandLine line_;
    std::set<std::string_view> seen_;
    bool endOfOptions_ = false;
};

}  // namespace

CommandLine ParseCommandLine(std::span<const std::string_view> args) {
    return Parser().Parse(args);
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
    const std::vector<std::string_view> args(argv + std::min(argc, 1), argv + argc);
    return ParseCommandLine(args);
}

std::string HelpText() {
    std::string text =
        "Usage: larkspool8 [--seed N] [--trace-plays FILE]\n"
        "       larkspool8 --render MODE --seed N [--seconds S] [--force] [--trace-plays FILE] "
        "OUT\n"
        "\n"
        "Opens the window of the piece, which plays what it is asked there. Options:\n";
    constexpr std::size_t kHelpColumn = 22;
    for (const Option& option : kOptions) {
        std::string head = "  ";
        head += option.name;
        if (!option.value.empty()) {
            head.append(" ").append(option.value);
        }
        text += head + std::string(kHelpColumn - head.size(), ' ');
        for (const char c : option.help) {
            text += c;
            if (c == '\n') {
                text += std::string(kHelpColumn, ' ');
            }
        }
        text += '\n';
    }
    text +=
        "\n"
        "OUT is 48 kHz mono: 32-bit float when its name ends .wav, 16-bit when it ends .flac.\n"
        "A render of one seed is the same, bit for bit, every time.\n"
        "\n"
        "Exit status: 0 done; 1 the render or the trace could not be written (OUT exists\n"
        "without --force, a full disk); 2 a command line it cannot take.\n";
    return text;
}

std::string VersionText() {
    return "larkspool8 " LARK_VERSION "\n";
}

}  // namespace lark
