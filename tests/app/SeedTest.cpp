// The app started with a seed: every performance draws afresh from it, and a render of the
// seed plays the same clips at the same moments as the first performance after start.
#include <gtest/gtest.h>

#include "app/PerformanceDraws.h"
#include "app/Startup.h"
#include "render/RenderPerformance.h"
#include "runtime/VirtualLoop.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/RecordingMessageBoxes.h"
#include "ui/Controls.h"
#include "window/Window1.h"

namespace lark {

// For gtest, which names a failing case by its parameter.
void PrintTo(const RenderMode& mode, std::ostream* out) {
    *out << mode.name;
}

namespace {

using Plays = std::vector<std::pair<int, double>>;  // clip number, Play since the first
constexpr double kStopAfterUs = 20'000'000;

template <typename Play, typename NumberOf>
Plays SinceFirst(const std::vector<Play>& played, NumberOf numberOf) {
    Plays plays;
    for (const Play& play : played) {
        plays.emplace_back(numberOf(play), play.atUs - played.front().atUs);
    }
    return plays;
}

// The window of an app started with --seed, every Play recorded, the stop pressed in time.
struct SeededApp {
    explicit SeededApp(std::uint64_t seed) : draws(seed) { draws.RestartAtEveryRun(window); }

    Plays Perform(const RenderMode& mode) {
        player->played.clear();
        std::string button(mode.name);
        std::erase(button, '-');
        window.Find<RadioButton>(button).SetValue(true);
        window.Find<PushButton>("play").Push();
        if (mode.endsByItself) {
            loop.RunToCompletion();
        } else {
            loop.RunUntil(loop.Now() + kStopAfterUs - 1);  // virtual time is in whole us
            window.Find<PushButton>("stop").Push();
            loop.RunUntilIdle();
        }
        return SinceFirst(player->played, [this](const auto& p) { return store.NumberOf(p.clip); });
    }

    VirtualLoop loop;
    testing::RecordingMessageBoxes boxes;
    PerformanceDraws draws;
    Runtime runtime{loop.clock(), loop.scheduler(), draws.Source(), boxes};
    std::shared_ptr<testing::RecordingPlayer> player =
        std::make_shared<testing::RecordingPlayer>(loop.clock());
    testing::FakeStore store{player};
    SoundBank sounds{&store};
    Startup startup{runtime, sounds};
    Window1& window = [this]() -> Window1& {
        startup._Main([] { return 0; });
        return *startup.DefaultWindow();
    }();
};

class SeedTest : public ::testing::TestWithParam<RenderMode> {};

TEST_P(SeedTest, OneSeedPlaysOneOrderEveryTimeAndInItsRenderAnotherSeedAnother) {
    SeededApp app(5);
    const Plays first = app.Perform(GetParam());
    EXPECT_GE(first.size(), 13u);
    EXPECT_EQ(app.Perform(GetParam()), first) << "performance after performance";
    const auto rendered = RenderPerformance(
        {&GetParam(), 5, kStopAfterUs}, testing::ConstantClips(1), [](std::span<const float>) {});
    EXPECT_EQ(SinceFirst(rendered.plays, [](const auto& p) { return p.number; }), first);
    EXPECT_NE(SeededApp(6).Perform(GetParam()), first);
}

INSTANTIATE_TEST_SUITE_P(Modes, SeedTest, ::testing::ValuesIn(kRenderModes), [](const auto& info) {
    std::string name(info.param.name);
    std::erase(name, '-');
    return name;
});

}  // namespace
}  // namespace lark
