#include "sequencer/PlayEvent.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "platform/NilObjectException.h"
#include "support/FakeSounds.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedRandom.h"
#include "support/TestRuntime.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

using testing::FakeStore;
using testing::RecordingMessageBoxes;
using testing::RecordingPlayer;
using testing::ScriptedRandomSource;
using testing::VirtualLoop;

// Advances by a fixed step at every reading, so each pass of a wait sees a later time.
class TickingClock final : public Clock {
  public:
    TickingClock(double startUs, double stepUs) : now_(startUs), step_(stepUs) {}
    double Microseconds() const override {
        ++reads;
        const double reading = now_;
        now_ += step_;
        return reading;
    }
    mutable int reads = 0;

  private:
    mutable double now_;
    double step_;
};

class PlayEventTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    std::shared_ptr<RecordingPlayer> player = std::make_shared<RecordingPlayer>(loop.clock());
    FakeStore store{player};
    SoundBank bank{[this] { return &store; }};
    std::vector<double> starts;
    std::vector<double> ends;
    std::string failure;

    // One step, then a hold of holdUs from its start.
    Task<> StepThenHold(Runtime& rt, EventGetter event, double holdUs) {
        const double start = co_await PlayEvent(rt, bank, event);
        starts.push_back(start);
        ends.push_back(rt.Microseconds());
        co_await WaitSince(rt, start, holdUs);
        ends.push_back(rt.Microseconds());
    }
    Task<> Steps(std::vector<EventGetter> events) {
        for (EventGetter e : events) {
            starts.push_back(co_await PlayEvent(runtime, bank, e));
            ends.push_back(runtime.Microseconds());
        }
    }
    Task<> CatchingStep(EventGetter event) {
        try {
            co_await PlayEvent(runtime, bank, event);
        } catch (const NilObjectException& e) {
            failure = e.what();
        }
    }
};

TEST_F(PlayEventTest, StepLengthsAreTheTableOfTheThirteenEvents) {
    double total = 0;
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        total += StepLengthUs(clip.getter);
    }
    EXPECT_EQ(total, 8'860'000);
    EXPECT_EQ(StepLengthUs(&SoundBank::thats), 210000);
    EXPECT_EQ(StepLengthUs(&SoundBank::for1), 210000);
    EXPECT_EQ(StepLengthUs(&SoundBank::silence), 2840000);
    EXPECT_EQ(StepLengthUs(&SoundBank::for2), 190000);
    EXPECT_EQ(StepLengthUs(&SoundBank::mankind), 1260000);
    EXPECT_EQ(StepLengthUs(&SoundBank::beep), 270000);
}

TEST_F(PlayEventTest, StepPlaysThenHoldsItsLengthFromJustAfterPlay) {
    const double t0 = loop.Now();
    loop.scheduler().Start("step", Steps({&SoundBank::silence}));
    loop.RunToCompletion();
    ASSERT_EQ(player->played.size(), 1u);
    EXPECT_EQ(player->played[0].atUs, t0);
    EXPECT_EQ(starts, std::vector<double>{t0});
    EXPECT_EQ(ends, std::vector<double>{t0 + 2'840'000});
}

TEST_F(PlayEventTest, HoldOfOneSecondFromAMankindStepReturnsAtOnce) {
    loop.scheduler().Start("step", StepThenHold(runtime, &SoundBank::mankind, 1'000'000));
    loop.RunToCompletion();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[1], ends[0]);
    EXPECT_EQ(ends[1] - starts[0], 1'260'000);
}

TEST_F(PlayEventTest, HoldOfOneSecondFromABeepStepEndsOneSecondAfterItsPlay) {
    loop.scheduler().Start("step", StepThenHold(runtime, &SoundBank::beep, 1'000'000));
    loop.RunToCompletion();
    ASSERT_EQ(ends.size(), 2u);
    EXPECT_EQ(ends[0] - starts[0], 270'000);
    EXPECT_EQ(ends[1] - player->played[0].atUs, 1'000'000);
}

TEST_F(PlayEventTest, WaitEndsAtTheFirstReadingAtOrPastItsLengthAndYieldsOncePerOtherPass) {
    TickingClock ticking(5'000'000, 70'000);
    Runtime coarse(ticking, loop.scheduler(), random, boxes);
    // A beep step (0.27 s) on a clock read every 70 ms: Play at 5.00 s; the wait reads 5.07,
    // 5.14, 5.21 (each followed by a yield) and 5.28, the first reading past, which ends it.
    loop.scheduler().Start("step", StepThenHold(coarse, &SoundBank::beep, 0));
    const int turnsBefore = loop.turns();
    loop.RunToCompletion();
    ASSERT_EQ(starts.size(), 1u);
    EXPECT_EQ(starts[0], 5'000'000);
    EXPECT_EQ(ends[0], 5'350'000);  // the reading after the step: 5.28 s was the last in it
    EXPECT_EQ(loop.turns() - turnsBefore, 1 + 3);  // the first run, then one per yield
}

TEST_F(PlayEventTest, ElapsedEqualToTheLengthEndsTheWait) {
    TickingClock ticking(0, 90'000);
    Runtime coarse(ticking, loop.scheduler(), random, boxes);
    // Readings 0 (start), 90, 180, 270 ms: the last equals the beep's step and ends it.
    loop.scheduler().Start("step", StepThenHold(coarse, &SoundBank::beep, 0));
    const int turnsBefore = loop.turns();
    loop.RunToCompletion();
    EXPECT_EQ(ends[0], 360'000);  // the next reading, made after the step
    EXPECT_EQ(loop.turns() - turnsBefore, 1 + 2);
}

TEST_F(PlayEventTest, StepNeverEndsBeforeItsLength) {
    loop.scheduler().Start("step", Steps({&SoundBank::leap}));
    loop.RunUntil(loop.Now() + 329'999);
    EXPECT_TRUE(ends.empty());
    loop.RunUntil(loop.Now() + 1);
    EXPECT_EQ(ends.size(), 1u);
}

TEST_F(PlayEventTest, VolumeIsOneHundredAtEveryPlayWhateverItWas) {
    bank.giant()->SetVolume(12);
    loop.scheduler().Start("steps", Steps({&SoundBank::giant, &SoundBank::giant}));
    loop.RunUntil(loop.Now() + 1);
    bank.giant()->SetVolume(0);
    loop.RunToCompletion();
    ASSERT_EQ(player->played.size(), 2u);
    EXPECT_EQ(player->played[0].volume, 100);
    EXPECT_EQ(player->played[1].volume, 100);
}

TEST_F(PlayEventTest, SameEventTwicePlaysTheSameClipAgainOneStepLater) {
    loop.scheduler().Start("steps", Steps({&SoundBank::man, &SoundBank::man}));
    loop.RunToCompletion();
    ASSERT_EQ(player->played.size(), 2u);
    EXPECT_EQ(player->played[1].clip, player->played[0].clip);
    EXPECT_EQ(player->played[1].atUs - player->played[0].atUs, 600'000);
}

TEST_F(PlayEventTest, NilClipThrowsNamingItAndPlaysNothing) {
    store.missing = {177};
    loop.scheduler().Start("step", CatchingStep(&SoundBank::silence));
    loop.RunToCompletion();
    EXPECT_NE(failure.find("silence"), std::string::npos) << failure;
    EXPECT_NE(failure.find("177"), std::string::npos) << failure;
    EXPECT_TRUE(player->played.empty());
}

TEST_F(PlayEventTest, KilledDuringAStepStartsNoFurtherClip) {
    const auto job = loop.scheduler().Start("steps", Steps({&SoundBank::one2, &SoundBank::leap}));
    loop.RunUntil(loop.Now() + 500'000);
    loop.scheduler().Kill(job);
    loop.RunToCompletion();
    EXPECT_EQ(player->played.size(), 1u);
    EXPECT_TRUE(ends.empty());
}

}  // namespace
}  // namespace lark
