#include "sequencer/PlayEvent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

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

class PlayEventTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    std::shared_ptr<testing::RecordingPlayer> player =
        std::make_shared<testing::RecordingPlayer>(loop.clock());
    testing::FakeStore store{player};
    SoundBank bank{[this] { return &store; }};
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

TEST_F(PlayEventTest, AStepResumedLateStillStartsTheNextOnItsGridUpToTheAbsorbedLateness) {
    // The performances run on the job clock: a thread that the machine held up for a moment
    // must not carry the delay into the next Play and every step after it.
    const Clock& jobClock = loop.scheduler().JobClock();
    auto onTime = std::make_shared<testing::RecordingPlayer>(jobClock);
    testing::FakeStore onTimeStore{onTime};
    SoundBank onTimeBank{[&onTimeStore] { return &onTimeStore; }};
    Runtime jobRuntime(jobClock, loop.scheduler(), random, boxes);
    const Event& beep = EventFor(&SoundBank::beep);
    const double stepUs = beep.stepUs;
    const double most = Scheduler::kMostAbsorbedLatenessUs;
    for (const double lateUs : {0.0, 3'000.0, most, most + 4'000}) {
        SCOPED_TRACE(lateUs);
        onTime->played.clear();
        std::vector<double> starts;
        loop.scheduler().Start(
            "steps", Invoke([&]() -> Task<> {
                for (int i = 0; i < 3; ++i) {
                    starts.push_back(co_await PlayEvent(jobRuntime, onTimeBank, beep));
                    co_await jobRuntime.Yield();  // as looped 2 does between steps
                }
            }));
        loop.RunUntilIdle();
        ASSERT_EQ(onTime->played.size(), 1u);
        const double first = onTime->played[0].atUs;
        // The loop comes back late for the first step's end, on time for the second's.
        loop.RunUntil(first + stepUs - 1);
        loop.clock().Set(first + stepUs + lateUs);
        loop.Step();
        EXPECT_EQ(loop.clock().Microseconds() - jobClock.Microseconds(), 0)
            << "outside a job the clock reads true";
        loop.RunToCompletion();
        const double carried = lateUs - std::min(lateUs, most);
        ASSERT_EQ(onTime->played.size(), 3u);
        EXPECT_EQ(onTime->played[1].atUs - first, stepUs + carried);
        EXPECT_EQ(onTime->played[2].atUs - first, 2 * stepUs + carried);
        EXPECT_EQ(starts, (std::vector<double>{first, first + stepUs + carried,
                                               first + 2 * stepUs + carried}));
    }
}

}  // namespace
}  // namespace lark
