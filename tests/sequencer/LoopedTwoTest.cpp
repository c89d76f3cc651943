#include "PerformanceFixture.h"

namespace lark::testing {
namespace {

class LoopedTwoTest : public PerformanceTest {};

TEST_F(LoopedTwoTest, StartActionsComeBeforeTheFirstDrawAndLooped2StaysEnabled) {
    std::vector<Controls> atDraws;
    random.onDraw = [&] { atDraws.push_back(State()); };
    Start("looped2");
    ASSERT_FALSE(atDraws.empty());
    EXPECT_EQ(atDraws.front(), Performing("looped2"));
    EXPECT_EQ(random.ranges().front(), (std::pair<std::int32_t, std::int32_t>{1, 13}));
}

TEST_F(LoopedTwoTest, DrawsMapToSentenceOrderAndMayRepeatOrStartWithTheBeep) {
    random.Append({13, 1, 1, 7, 12});
    Start("looped2");
    loop.RunUntil(t0 + 270'000 + 210'000 + 210'000 + 2'840'000);
    const std::vector<Heard> expected = {{"beep", 100, 0},
                                         {"thats", 100, 270'000},
                                         {"thats", 100, 480'000},
                                         {"silence", 100, 690'000},
                                         {"mankind", 100, 3'530'000}};
    EXPECT_EQ(HeardSoFar(), expected);
}

TEST_F(LoopedTwoTest, StopInsideAStepOrAtTheLoopTurnEndsThePerformance) {
    random.Append({7});
    Start("looped2");
    loop.RunUntil(t0 + 1'000'000);  // inside silence's step
    Click("stop");
    loop.RunFor(10'000'000);
    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"silence"}));
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(DonationMessages(), 1u);

    // Again, parked at the yield between two steps.
    player->played.clear();
    random.Append({2, 3});
    Start("looped2");
    const double start = loop.Now();
    loop.RunUntil(start + 580'000 - 1);
    ASSERT_TRUE(loop.Step());  // the step ends and the run yields at its loop turn
    Click("stop");
    loop.RunFor(10'000'000);
    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"one1"}));
    EXPECT_FALSE(Running("Class11"));
    EXPECT_EQ(DonationMessages(), 2u);
}

TEST_F(LoopedTwoTest, StopDisabledWithoutAKillEndsTheLoopAtItsNextCheck) {
    random.Append({2, 3});
    Start("looped2");
    window.Find<PushButton>("stop").SetEnabled(false);
    loop.RunFor(10'000'000);
    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"one1"}));
    EXPECT_FALSE(Running("Class11"));
    EXPECT_TRUE(window.Find<ChasingArrows>("ChasingArrows1").Visible()) << "nothing restored";
    EXPECT_FALSE(window.Find<PushButton>("play").Enabled());
}

TEST_F(LoopedTwoTest, DrawsAreUniformOverThirteenAndRepeatsHappen) {
    Start("looped2");
    constexpr std::size_t kDraws = 6500;
    while (player->played.size() < kDraws) {
        loop.RunFor(60'000'000);
    }
    std::map<std::string, int> counts;
    int repeats = 0;
    const auto heard = ClipsHeard();
    for (std::size_t i = 0; i < kDraws; ++i) {
        ++counts[heard[i]];
        repeats += i > 0 && heard[i] == heard[i - 1];
    }
    ASSERT_EQ(counts.size(), 13u);
    double chi = 0;
    const double expected = kDraws / 13.0;
    for (const auto& [clip, n] : counts) {
        chi += (n - expected) * (n - expected) / expected;
    }
    EXPECT_LT(chi, 32.9);  // 12 degrees of freedom, 0.999 quantile
    EXPECT_GT(repeats, static_cast<int>(kDraws / 13 / 2)) << "about one draw in 13 repeats";
    EXPECT_EQ(loop.scheduler().JobCount(), 1u) << "nothing piles up as the run goes on";
}

}  // namespace
}  // namespace lark::testing
