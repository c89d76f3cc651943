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

// The window of an app started with --seed, every Play recorded, the stop pressed in time.
class SeededApp {
  public:
    explicit SeededApp(std::uint64_t seed) : draws_(seed) {
        startup_._Main([] { return 0; });
        draws_.RestartAtEveryRun(Window());
    }

    Plays Perform(const RenderMode& mode) {
        player_->played.clear();
        std::string button(mode.name);
        std::erase(button, '-');
        Window().Find<RadioButton>(button).SetValue(true);
        Window().Find<PushButton>("play").Push();
        if (mode.endsByItself) {
            loop_.RunToCompletion();
        } else {
            loop_.RunUntil(loop_.Now() + kStopAfterUs - 1);  // virtual time is in whole us
            Window().Find<PushButton>("stop").Push();
            loop_.RunUntilIdle();
        }
        Plays plays;
        for (const auto& play : player_->played) {
            plays.emplace_back(store_.NumberOf(play.clip), play.atUs - player_->played[0].atUs);
        }
        return plays;
    }

  private:
    Window1& Window() { return *startup_.DefaultWindow(); }

    VirtualLoop loop_;
    testing::RecordingMessageBoxes boxes_;
    PerformanceDraws draws_;
    Runtime runtime_{loop_.clock(), loop_.scheduler(), draws_.Source(), boxes_};
    std::shared_ptr<testing::RecordingPlayer> player_ =
        std::make_shared<testing::RecordingPlayer>(loop_.clock());
    testing::FakeStore store_{player_};
    SoundBank sounds_{&store_};
    Startup startup_{runtime_, sounds_};
};

Plays Rendered(const RenderMode& mode, std::uint64_t seed) {
    const RenderedPerformance rendered = RenderPerformance(
        {&mode, seed, kStopAfterUs}, testing::ConstantClips(1), [](std::span<const float>) {});
    Plays plays;
    for (const auto& play : rendered.plays) {
        plays.emplace_back(play.number, play.atUs - rendered.plays[0].atUs);
    }
    return plays;
}

class SeedTest : public ::testing::TestWithParam<RenderMode> {};

TEST_P(SeedTest, OneSeedPlaysOneOrderEveryTimeAndInItsRenderAnotherSeedAnother) {
    SeededApp app(5);
    const Plays first = app.Perform(GetParam());
    EXPECT_GE(first.size(), 13u);
    EXPECT_EQ(app.Perform(GetParam()), first) << "performance after performance";
    EXPECT_EQ(Rendered(GetParam(), 5), first);
    EXPECT_NE(SeededApp(6).Perform(GetParam()), first);
}

INSTANTIATE_TEST_SUITE_P(Modes, SeedTest, ::testing::ValuesIn(kRenderModes), [](const auto& info) {
    std::string name(info.param.name);
    std::erase(name, '-');
    return name;
});

}  // namespace
}  // namespace lark
