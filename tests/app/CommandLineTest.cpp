#include "app/CommandLine.h"

#include <gtest/gtest.h>

#include <vector>

namespace lark {
namespace {

using Args = std::vector<std::string_view>;
using Action = CommandLine::Action;

const auto Parse = [](const Args& args) { return ParseCommandLine(args); };

TEST(CommandLineTest, TakesWhatItListsInEitherSpellingAndHelpOrVersionWinOverTheRest) {
    EXPECT_EQ(Parse({}).action, Action::Play);
    const CommandLine play = Parse({"--seed", "18446744073709551615", "--trace-plays=t.txt"});
    EXPECT_EQ(play.action, Action::Play);
    EXPECT_EQ(play.seed, 18446744073709551615u);
    EXPECT_EQ(play.tracePlaysPath, "t.txt");

    const CommandLine render =
        Parse({"--render", "looped-2", "--seconds=2.5", "--seed=0", "--force", "--", "-a.flac"});
    EXPECT_EQ(render.action, Action::Render);
    EXPECT_EQ(render.mode, FindRenderMode("looped-2"));
    EXPECT_EQ(render.seed, 0u);
    EXPECT_EQ(render.seconds, 2.5);
    EXPECT_TRUE(render.force);
    EXPECT_EQ(render.out, "-a.flac");
    const CommandLine defaults = Parse({"--render=looped-1", "--seed", "9", "out.wav"});
    EXPECT_EQ(defaults.seconds, kDefaultRenderSeconds);
    EXPECT_EQ(Parse({"--render=looped-1", "--seed=9", "--seconds=3600", "o.wav"}).seconds, 3600);
    EXPECT_FALSE(defaults.force);

    EXPECT_EQ(Parse({"--seed", "3", "-h", "--bogus"}).action, Action::Help);
    EXPECT_EQ(Parse({"--version", "--seed"}).action, Action::Version);
}

struct Refused {
    Args args;
    const char* says;  // part of the one line
};

class CommandLineRefusalTest : public ::testing::TestWithParam<Refused> {};

TEST_P(CommandLineRefusalTest, RefusesInOneLineThatSaysWhatIsWrong) {
    const CommandLine line = Parse(GetParam().args);
    EXPECT_EQ(line.action, Action::Refuse);
    EXPECT_NE(line.refusal.find(GetParam().says), std::string::npos) << line.refusal;
    EXPECT_EQ(line.refusal.find('\n'), std::string::npos);
}

const Refused kRefused[] = {
    {{"--bogus"}, "unknown option '--bogus'"},
    {{"-platform", "xcb"}, "unknown option '-platform'"},
    {{"--seed"}, "--seed needs a value"},
    {{"--seed", "-1"}, "not '-1'"},
    {{"--seed", "18446744073709551616"}, "not '18446744073709551616'"},
    {{"--seed", "12x"}, "not '12x'"},
    {{"--seed=1", "--seed=1"}, "--seed is given twice"},
    {{"--force=yes", "--render", "one-shot", "--seed", "1", "a.wav"}, "--force takes no value"},
    {{"--trace-plays="}, "--trace-plays needs a file name"},
    {{"--render", "looped-3", "--seed", "1", "a.wav"}, "not 'looped-3'"},
    {{"--render", "one-shot", "a.wav"}, "--render needs --seed"},
    {{"--render", "one-shot", "--seed", "1"}, "needs an output file"},
    {{"--render", "one-shot", "--seed", "1", "a.mp3"}, "not 'a.mp3'"},
    {{"--render", "one-shot", "--seed", "1", "a.wav", "b.wav"}, "not also 'b.wav'"},
    {{"--render", "one-shot", "--seed", "1", "--seconds", "5", "a.wav"}, "one-shot ends by itself"},
    {{"--render", "looped-1", "--seed", "1", "--seconds", "0", "a.wav"}, "not '0'"},
    {{"--render", "looped-1", "--seed", "1", "--seconds", "3600.5", "a.wav"}, "not '3600.5'"},
    {{"--render", "looped-1", "--seed", "1", "--seconds", "nan", "a.wav"}, "not 'nan'"},
    {{"--seconds", "5"}, "--seconds is for --render only"},
    {{"--force"}, "--force is for --render only"},
    {{"--seed", "1", "a.wav"}, "unexpected argument 'a.wav'"},
};

INSTANTIATE_TEST_SUITE_P(Malformed, CommandLineRefusalTest, ::testing::ValuesIn(kRefused));

}  // namespace
}  // namespace lark
