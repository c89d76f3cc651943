#include "sequencer/PlayEvent.h"

#include <gtest/gtest.h>

#include <utility>

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
    SoundBank bank{&store};
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

}  // namespace
}  // namespace lark
