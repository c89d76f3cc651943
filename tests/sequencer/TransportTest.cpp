#include <sstream>

#include "PerformanceFixture.h"
#include "platform/UncaughtErrors.h"

namespace lark::testing {
namespace {

class TransportTest : public PerformanceTest {};

TEST_F(TransportTest, StartRunsOnlyTheSelectedModeAndChangesNoEnabledState) {
    const std::map<std::string, std::string> threadOf = {
        {"looped2", "Class11"}, {"oneshot", "Class21"}, {"looped1", "Class31"}};
    for (const auto& [mode, thread] : threadOf) {
        SCOPED_TRACE(mode);
        Select(mode);
        Click("play");
        // Before the thread first runs: only the arrows have changed.
        EXPECT_EQ(State(), (Controls{true, false, true, true, true, true}));
        for (const auto& [other, otherThread] : threadOf) {
            EXPECT_EQ(Running(otherThread), otherThread == thread) << otherThread;
        }
        loop.RunUntilIdle();
        EXPECT_EQ(State(), Performing(mode));
        Click("stop");
        loop.RunUntilIdle();
    }
}

TEST_F(TransportTest, TheWindowOpensWithLooped1SoStartPlaysLoopedOne) {
    Click("play");
    EXPECT_TRUE(Running("Class31"));
    EXPECT_FALSE(Running("Class11"));
    EXPECT_FALSE(Running("Class21"));
}

TEST_F(TransportTest, ASecondClickBeforeTheThreadRunsStartsOnePerformance) {
    random.Append({5, 5});
    Select("looped2");
    Click("play");
    Click("play");  // still enabled: the thread has not greyed it out yet
    loop.RunUntil(t0 + 100'000);
    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"for1"}));
}

TEST_F(TransportTest, StopRestoresIdleKillsAllThreadsAndAlwaysShowsTheMessage) {
    Click("stop");  // disabled: nothing happens
    EXPECT_EQ(DonationMessages(), 0u);

    Start("looped2");
    loop.RunFor(1'500'000);
    Click("stop");
    EXPECT_EQ(State(), kIdle);
    EXPECT_FALSE(Running("Class11"));
    EXPECT_FALSE(Running("Class21"));
    EXPECT_FALSE(Running("Class31"));
    loop.RunUntilIdle();
    ASSERT_EQ(DonationMessages(), 1u);
    EXPECT_TRUE(window.Find<RadioButton>("looped2").Value()) << "the mode choice is kept";
}

TEST_F(TransportTest, TheDonationMessageHasFourLinesInOrder) {
    const std::string text = DonationMessage();
    EXPECT_EQ(text,
              "Thanks for listening to this larkspool.\n"
              "If you enjoyed it and would like to make a donation of 49p (\xC2\xA3"
              "0.49) then please visit\n"
              "larkspool.example.org/qvweb/qvpayment.html\n"
              "Thank you.");
}

TEST_F(TransportTest, StopWaitsForTheMessageToBeDismissed) {
    boxes.SetAutoDismiss(false);
    Start("looped1");
    loop.RunFor(700'000);
    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(boxes.OpenCount(), 1u);
    EXPECT_EQ(loop.scheduler().JobCount(), 1u) << "stop's handler waits on its message";
    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);
}

TEST_F(TransportTest, AMissingClipEndsThePerformanceWithAnErrorAndTheAppGoesOn) {
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    loop.scheduler().SetUncaughtHandler(
        [&](const std::string& job, std::exception_ptr e) { errors.Report(job, e); });
    store.missing = {177};
    random.Append({0, 5});  // thats, then silence (6th of the twelve left)
    Start("oneshot");
    loop.RunFor(20'000'000);

    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"thats"}));
    EXPECT_FALSE(Running("Class21"));
    EXPECT_NE(log.str().find("Class21.Run failed: missing clip silence"), std::string::npos)
        << log.str();
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Error);
    EXPECT_EQ(State(), Performing("oneshot")) << "stop is still there to restore the controls";

    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(State(), kIdle);

    random.Append({1, 2});
    Start("looped2");
    loop.RunFor(500'000);
    EXPECT_EQ(ClipsHeard(), (std::vector<std::string>{"thats", "thats", "one1"}));
}

}  // namespace
}  // namespace lark::testing
