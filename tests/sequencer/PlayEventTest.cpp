#include "sequencer/PlayEvent.h"

#include <gtest/gtest.h>

#include <vector>

#include "support/FakeSounds.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

using testing::FakeStore;
using testing::RecordingPlayer;

// Advances by a fixed step at every reading, so each pass of a wait sees a later time.
class TickingClock final : public Clock {
  public:
    TickingClock(double startUs, double stepUs) : now_(startUs), step_(stepUs) {}
    double Microseconds() const override {
        const double reading = now_;
        now_ += step_;
        return reading;
    }

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

    Task<> Steps(Runtime& rt, std::vector<SoundBank::Getter> clips) {
        for (SoundBank::Getter clip : clips) {
            starts.push_back(co_await PlayEvent(rt, bank, EventFor(clip)));
            ends.push_back(rt.Microseconds());
        }
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
        starts.clear();
        ends.clear();
        TickingClock ticking(c.startUs, c.tickUs);
        Runtime coarse(ticking, loop.scheduler(), random, boxes);
        loop.scheduler().Start("step", Steps(coarse, {&SoundBank::beep}));
        const int turnsBefore = loop.turns();
        loop.RunToCompletion();
        EXPECT_EQ(starts, std::vector<double>{c.startUs});
        EXPECT_EQ(ends.at(0), c.endUs);
        EXPECT_EQ(loop.turns() - turnsBefore, 1 + c.yields);
    }
}

TEST_F(PlayEventTest, EveryPlayIsAtVolume100AndTheSameEventPlaysTheSameClipAgain) {
    bank.giant()->SetVolume(12);
    loop.scheduler().Start("steps", Steps(runtime, {&SoundBank::giant, &SoundBank::giant}));
    loop.RunToCompletion();
    ASSERT_EQ(player->played.size(), 2u);
    EXPECT_EQ(player->played[0].volume, 100);
    EXPECT_EQ(player->played[1].volume, 100);
    EXPECT_EQ(player->played[1].clip, player->played[0].clip);
}

}  // namespace
}  // namespace lark
