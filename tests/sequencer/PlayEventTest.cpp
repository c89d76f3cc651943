#include "sequencer/PlayEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "render/RenderStage.h"
#include "sequencer/Modes.h"
#include "support/FakeSounds.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

// Advances by a fixed step at every reading, so each pass of a wait sees a later time.
class TickingClock final : public Clock {
  public:
    TickingClock(double startUs, double stepUs) : now_(startUs), step_(stepUs) {}
    double Microseconds() const override { return std::exchange(now_, now_ + step_); }

  private:
    mutable double now_;
    double step_;
};

// Every reading any reader takes, in the order taken.
class LoggingClock final : public Clock {
  public:
    explicit LoggingClock(const Clock& clock) : clock_(clock) {}
    double Microseconds() const override { return readings.emplace_back(clock_.Microseconds()); }
    mutable std::vector<double> readings;

  private:
    const Clock& clock_;
};

// The steps of a performance, every clock reading logged. The machine may hold the loop up now
// and then (ResumeLate): a step that ends late shifts everything after it, and no step is
// shortened to catch up.
class PlayEventTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    LoggingClock clock{loop.clock()};
    Runtime late{clock, loop.scheduler(), random, boxes};
    std::shared_ptr<testing::RecordingPlayer> player =
        std::make_shared<testing::RecordingPlayer>(clock);
    testing::FakeStore store{player};
    SoundBank bank{&store};
    RenderStage stage;  // stop stays enabled once the mode enables it
    const double t0 = loop.Now();

    std::vector<double> PlaysSinceFirst() const {
        std::vector<double> at;
        for (const auto& played : player->played) {
            at.push_back(played.atUs - player->played.front().atUs);
        }
        return at;
    }
};

TEST_F(PlayEventTest, WaitEndsAtTheFirstReadingAtOrPastItsLengthAndYieldsOncePerOtherPass) {
    struct Case {
        double startUs, tickUs, endUs;
        int yields;
    };
    // A beep step (0.27 s). Every 70 ms: 5.07, 5.14, 5.21 yield, 5.28 ends it; every 90 ms
    // the reading at 0.27 s, equal to the length, ends it. The end reading comes after.
    for (const Case& c : {Case{5'000'000, 70'000, 5'350'000, 3}, Case{0, 90'000, 360'000, 2}}) {
        SCOPED_TRACE(c.tickUs);
        TickingClock ticking(c.startUs, c.tickUs);
        Runtime coarse(ticking, loop.scheduler(), random, boxes);
        double start = -1, end = -1;
        bank.beep()->SetVolume(12);  // the step sets its own
        loop.scheduler().Start("step", Invoke([&]() -> Task<> {
                                   start =
                                       co_await PlayEvent(coarse, bank, EventFor(&SoundBank::beep));
                                   end = coarse.Microseconds();
                               }));
        const int turnsBefore = loop.turns();
        loop.RunToCompletion();
        EXPECT_EQ(start, c.startUs);
        EXPECT_EQ(end, c.endUs);
        EXPECT_EQ(loop.turns() - turnsBefore, 1 + c.yields);
        EXPECT_EQ(player->played.back().volume, 100);
    }
    ASSERT_EQ(player->played.size(), 2u);
    EXPECT_EQ(player->played[1].clip, player->played[0].clip) << "the same event, the same clip";
}

TEST_F(PlayEventTest, ALateStepEndShiftsEveryPlayAfterIt) {
    random.Append({1, 11, 7, 1});  // thats, for2, silence, thats
    loop.ResumeLate({4000, 5000});
    loop.scheduler().Start("looped 2", LoopedTwo(late, bank, stage));
    loop.RunUntil(t0 + 3'249'000);
    EXPECT_EQ(PlaysSinceFirst(), (std::vector<double>{0, 214'000, 409'000, 3'249'000}));
}

TEST_F(PlayEventTest, EveryHoldCountsFromItsOwnStartAndReadingsNeverGoBack) {
    random.Append(std::vector<std::int32_t>(12, 0));  // sentence order
    loop.ResumeLate({}, 1000);
    loop.scheduler().Start("one shot", OneShot(late, bank, stage));
    while (loop.Step()) {
        clock.Microseconds();  // a reader outside any job, between turns
    }
    const std::vector<double> at = PlaysSinceFirst();
    ASSERT_EQ(at.size(), 13u);
    EXPECT_EQ(at[7] - at[6], 2'841'000) << "silence holds its whole step, and is late by 1 ms";
    // Ended, its message dismissed at once: the thirteen steps, the pause, each 1 ms late.
    EXPECT_EQ(loop.Now() - player->played.front().atUs, 8'860'000 + 2'000'000 + 14 * 1000);
    EXPECT_TRUE(std::is_sorted(clock.readings.begin(), clock.readings.end()));
}

TEST_F(PlayEventTest, AHoldFromAStepStartEndsAtOnceOrOnItsOwnDeadline) {
    loop.ResumeLate({3000, 3000, 0});
    double mankindEndUs = -1, gapAfterMankindUs = -1, beepStartUs = -1, gapAfterBeepUs = -1;
    int turnsInGap = -1;
    loop.scheduler().Start(
        "gaps", Invoke([&]() -> Task<> {
            const double mankind = co_await PlayEvent(late, bank, EventFor(&SoundBank::mankind));
            mankindEndUs = clock.Microseconds();
            const int turns = loop.turns();
            co_await WaitSince(late, mankind, 1'000'000);
            turnsInGap = loop.turns() - turns;
            gapAfterMankindUs = clock.Microseconds();
            beepStartUs = co_await PlayEvent(late, bank, EventFor(&SoundBank::beep));
            co_await WaitSince(late, beepStartUs, 1'000'000);
            gapAfterBeepUs = clock.Microseconds();
        }));
    loop.RunToCompletion();
    EXPECT_EQ(turnsInGap, 0) << "1.26 s already held: no yield";
    EXPECT_EQ(gapAfterMankindUs, mankindEndUs);
    EXPECT_EQ(beepStartUs, mankindEndUs);
    EXPECT_EQ(gapAfterBeepUs - beepStartUs, 1'000'000) << "not shifted by the beep step's 3 ms";
}

}  // namespace
}  // namespace lark
