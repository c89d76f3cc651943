#include "PerformanceFixture.h"

namespace lark::testing {
namespace {

class LoopedOneTest : public PerformanceTest {
  protected:
    const std::vector<std::string> kWords = {"thats", "one1", "small",   "step1",
                                             "for1",  "man",  "silence", "one2",
                                             "giant", "leap", "for2",    "mankind"};
    // One cycle in sentence order (every draw 0) lasts the twelve steps, then the longer of
    // mankind's step and 1 s, then 1 s from the beep.
    double SentenceCycleUs() const {
        double sum = 0;
        for (const auto& w : kWords) {
            sum += Step(w);
        }
        return sum - Step("mankind") + std::max(Step("mankind"), 1'000'000.0) + 1'000'000;
    }
};

TEST_F(LoopedOneTest, StartActionsComeBeforeTheFirstDraw) {
    std::vector<Controls> atDraws;
    random.onDraw = [&] { atDraws.push_back(State()); };
    Start("looped1");
    ASSERT_FALSE(atDraws.empty());
    EXPECT_EQ(atDraws.front(), Performing("looped1"));
}

TEST_F(LoopedOneTest, ACycleIsTheTwelveEventsThenTheBeepWithGapsFromEachPlay) {
    random.Append(std::vector<std::int32_t>(11, 0));
    Start("looped1");
    loop.RunUntil(t0 + SentenceCycleUs());  // the next cycle's first Play, not later

    std::vector<Heard> expected;
    double at = 0;
    for (const auto& w : kWords) {
        expected.push_back({w, 100, at});
        at += Step(w);
    }
    const double beepAt = expected.back().atUs + 1'260'000;  // mankind outlasts the 1 s gap
    expected.push_back({"beep", 100, beepAt});
    auto heard = HeardSoFar();
    ASSERT_EQ(heard.size(), 14u);
    EXPECT_EQ(heard[13].atUs, beepAt + 1'000'000) << "next cycle 1 s after the beep's Play";
    heard.pop_back();
    EXPECT_EQ(heard, expected);

    std::vector<std::pair<std::int32_t, std::int32_t>> ranges;
    for (int high = 11; high >= 1; --high) {
        ranges.emplace_back(0, high);
    }
    ranges.emplace_back(0, 11);  // the second cycle's first draw
    EXPECT_EQ(random.ranges(), ranges);
}

TEST_F(LoopedOneTest, AShortLastEventWaitsOutTheFullSecondBeforeTheBeep) {
    random.Append({11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});  // backwards: "thats" is last
    Start("looped1");
    loop.RunUntil(t0 + 20'000'000);
    const auto heard = HeardSoFar();
    ASSERT_GE(heard.size(), 13u);
    EXPECT_EQ(heard[11].clip, "thats");
    EXPECT_EQ(heard[12].clip, "beep");
    EXPECT_EQ(heard[12].atUs - heard[11].atUs, 1'000'000);
}

TEST_F(LoopedOneTest, StopAtAnyWaitEndsThePerformanceThere) {
    // Points in the sentence-order cycle: inside a word, in the gap before the beep, inside
    // the beep's step, in the gap after it, and parked at the yield between cycles.
    const double beepAt = SentenceCycleUs() - 1'000'000;
    const std::vector<double> stops = {500'000, beepAt - 100'000, beepAt + 100'000,
                                       beepAt + 500'000};
    for (double stopAt : stops) {
        SCOPED_TRACE(stopAt);
        player->played.clear();
        random.Append(std::vector<std::int32_t>(11, 0));
        const double start = loop.Now();
        Start("looped1");
        loop.RunUntil(start + stopAt);
        const std::size_t heard = player->played.size();
        Click("stop");
        loop.RunFor(30'000'000);
        EXPECT_EQ(player->played.size(), heard);
        EXPECT_EQ(State(), kIdle);
        EXPECT_FALSE(Running("Class31"));
    }
    EXPECT_EQ(DonationMessages(), stops.size());

    player->played.clear();
    random.Append(std::vector<std::int32_t>(11, 0));
    const double start = loop.Now();
    Start("looped1");
    loop.RunUntil(start + SentenceCycleUs() - 1);
    ASSERT_TRUE(loop.Step());  // the second gap ends; the run yields before its check
    Click("stop");
    loop.RunFor(30'000'000);
    EXPECT_EQ(player->played.size(), 13u);
    EXPECT_FALSE(Running("Class31"));
}

TEST_F(LoopedOneTest, StopDisabledWithoutAKillFinishesTheCycleThenEnds) {
    random.Append(std::vector<std::int32_t>(11, 0));
    Start("looped1");
    loop.RunUntil(t0 + 3'000'000);
    window.Find<PushButton>("stop").SetEnabled(false);
    loop.RunUntil(t0 + SentenceCycleUs() - 1);
    EXPECT_TRUE(Running("Class31"));
    loop.RunFor(30'000'000);
    EXPECT_EQ(player->played.size(), 13u) << "the whole cycle and its beep, nothing more";
    EXPECT_FALSE(Running("Class31"));
    EXPECT_EQ(State(), (Controls{true, false, true, true, true, false}))
        << "end actions: play, looped2, oneshot on, arrows hidden; looped1 and stop untouched";
    EXPECT_EQ(DonationMessages(), 0u);
}

TEST_F(LoopedOneTest, EveryCycleIsAPermutationOfTheTwelveWithTheBeepOnlyBetween) {
    Start("looped1");
    constexpr int kCycles = 1200;
    while (player->played.size() < kCycles * 13) {
        loop.RunFor(600'000'000);
    }
    const auto heard = ClipsHeard();
    std::map<std::string, std::array<int, 12>> positions;
    for (int c = 0; c < kCycles; ++c) {
        std::vector<std::string> cycle(heard.begin() + c * 13, heard.begin() + c * 13 + 12);
        ASSERT_EQ(heard[c * 13 + 12], "beep");
        auto sorted = cycle;
        std::sort(sorted.begin(), sorted.end());
        auto words = kWords;
        std::sort(words.begin(), words.end());
        ASSERT_EQ(sorted, words) << "cycle " << c;
        for (int i = 0; i < 12; ++i) {
            ++positions[cycle[i]][i];
        }
    }
    for (const auto& [clip, counts] : positions) {
        double chi = 0;
        const double expected = kCycles / 12.0;
        for (int n : counts) {
            chi += (n - expected) * (n - expected) / expected;
        }
        EXPECT_LT(chi, 31.3) << clip;  // 11 degrees of freedom, 0.999 quantile
    }
}

}  // namespace
}  // namespace lark::testing
