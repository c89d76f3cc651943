#include <numeric>

#include "PerformanceFixture.h"

namespace lark::testing {
namespace {

class OneShotTest : public PerformanceTest {
  protected:
    const std::vector<std::string> kSentence = {"thats", "one1",    "small", "step1", "for1",
                                                "man",   "silence", "one2",  "giant", "leap",
                                                "for2",  "mankind", "beep"};
    double Total(const std::vector<std::string>& clips) const {
        double sum = 0;
        for (const auto& c : clips) {
            sum += Step(c);
        }
        return sum;
    }
};

TEST_F(OneShotTest, StartActionsComeBeforeTheFirstDraw) {
    std::vector<Controls> atDraws;
    random.onDraw = [&] { atDraws.push_back(State()); };
    Start("oneshot");
    ASSERT_FALSE(atDraws.empty());
    EXPECT_EQ(atDraws.front(), Performing("oneshot"));
}

TEST_F(OneShotTest, ScriptedDrawsPlayEveryClipOnceOneStepApart) {
    // silence (6 of 0-12), then bleep (11 of 0-11), then sstep (3 of 0-10), then the front.
    random.Append({6, 11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Start("oneshot");
    loop.RunToCompletion();

    const std::vector<std::string> order = {"silence", "beep", "step1",  "thats", "one1",
                                            "small",   "for1", "man",    "one2",  "giant",
                                            "leap",    "for2", "mankind"};
    std::vector<Heard> expected;
    double at = 0;
    for (const auto& clip : order) {
        expected.push_back({clip, 100, at});
        at += Step(clip);
    }
    EXPECT_EQ(HeardSoFar(), expected);
}

TEST_F(OneShotTest, DrawRangesShrinkByOneAndTheLastEventTakesNoDraw) {
    Start("oneshot");
    loop.RunToCompletion();
    std::vector<std::pair<std::int32_t, std::int32_t>> expected;
    for (int high = 12; high >= 1; --high) {
        expected.emplace_back(0, high);
    }
    EXPECT_EQ(random.ranges(), expected);
    EXPECT_EQ(random.made(), 12) << "a new generator for every draw";
}

TEST_F(OneShotTest, AlwaysDrawingTheLastEntryPlaysTheSentenceBackwards) {
    random.Append({12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});
    Start("oneshot");
    loop.RunToCompletion();
    std::vector<std::string> backwards(kSentence.rbegin(), kSentence.rend());
    EXPECT_EQ(ClipsHeard(), backwards);
}

TEST_F(OneShotTest, EndsTwoSecondsAfterTheLastStepWithTheEndStateBehindTheMessage) {
    random.Append(std::vector<std::int32_t>(12, 0));  // the sentence in order
    boxes.SetAutoDismiss(false);
    Start("oneshot");
    const double end = Total(kSentence) + 2'000'000;

    loop.RunUntil(t0 + end - 1);
    EXPECT_EQ(State(), Performing("oneshot"));
    EXPECT_EQ(DonationMessages(), 0u);

    loop.RunUntil(t0 + end);
    EXPECT_EQ(DonationMessages(), 1u);
    EXPECT_EQ(State(), (Controls{true, true, true, true, true, false})) << "stop stays enabled";
    EXPECT_TRUE(Running("Class21")) << "the run ends when the message is dismissed";
    EXPECT_EQ(player->played.size(), 13u);

    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_FALSE(Running("Class21"));
}

TEST_F(OneShotTest, StopAfterACompleteRunShowsTheMessageAgainAndDisablesStop) {
    Start("oneshot");
    loop.RunToCompletion();
    ASSERT_EQ(DonationMessages(), 1u);
    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(DonationMessages(), 2u);
    EXPECT_EQ(State(), kIdle);
}

TEST_F(OneShotTest, StopDuringAStepOrTheFinalPauseEndsTheRunThere) {
    for (double stopAt : {1'000'000.0, 10'000'000.0}) {  // inside silence; in the final pause
        SCOPED_TRACE(stopAt);
        player->played.clear();
        boxes.Clear();
        random.Append({6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
        const double start = loop.Now();
        Start("oneshot");
        loop.RunUntil(start + stopAt);
        const std::size_t heard = player->played.size();
        Click("stop");
        loop.RunFor(20'000'000);
        EXPECT_EQ(player->played.size(), heard) << "no further clip starts";
        EXPECT_EQ(State(), kIdle);
        EXPECT_EQ(DonationMessages(), 1u) << "only stop's message, not the run's own";
        EXPECT_FALSE(Running("Class21"));
    }
}

TEST_F(OneShotTest, ASecondRunStartsAgainFromAFullList) {
    Start("oneshot");
    loop.RunToCompletion();
    player->played.clear();
    Start("oneshot");
    loop.RunToCompletion();
    auto heard = ClipsHeard();
    std::sort(heard.begin(), heard.end());
    auto all = kSentence;
    std::sort(all.begin(), all.end());
    EXPECT_EQ(heard, all);
}

TEST_F(OneShotTest, EveryClipOnceAndPositionsUniformOverManyRuns) {
    // counts[clip][position]
    std::map<std::string, std::array<int, 13>> counts;
    constexpr int kRuns = 1300;
    for (int run = 0; run < kRuns; ++run) {
        player->played.clear();
        Start("oneshot");
        loop.RunToCompletion();
        const auto heard = ClipsHeard();
        ASSERT_EQ(std::set<std::string>(heard.begin(), heard.end()).size(), 13u);
        for (std::size_t i = 0; i < heard.size(); ++i) {
            ++counts[heard[i]][i];
        }
    }
    // Beep (and every clip) equally likely at every position: chi-square, 12 degrees of
    // freedom, 0.999 quantile 32.9.
    for (const auto& [clip, positions] : counts) {
        double chi = 0;
        const double expected = kRuns / 13.0;
        for (int c : positions) {
            chi += (c - expected) * (c - expected) / expected;
        }
        EXPECT_LT(chi, 32.9) << clip;
    }
}

}  // namespace
}  // namespace lark::testing
