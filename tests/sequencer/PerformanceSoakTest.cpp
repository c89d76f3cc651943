#include <random>
#include <set>

#include "PerformanceFixture.h"

namespace lark::testing {
namespace {

// Random user actions against the started-up window, transport, modes and About item, in
// virtual time. After every action the controls, threads, messages and jobs must be in a state
// a user could have reached, and nothing may pile up.
using PerformanceSoakTest = PerformanceTest;

TEST_F(PerformanceSoakTest, RandomActionsKeepEveryStateReachableAndLoseNoMessage) {
    std::mt19937 user{20'240'716u};  // its raw output only: the same run with every library
    const auto selectAny = [&] {
        const std::string& mode = kModes[user() % kModes.size()];
        if (Enabled(mode)) {
            Select(mode);
        }
    };
    int stops = 0, oneShotsEnded = 0, abouts = 0;
    std::size_t donations = 0, aboutsShown = 0, plays = 0;
    std::set<std::string> modesSeen;
    for (int step = 1; step <= 5'000 && !HasFailure(); ++step) {
        const unsigned action = user() % 20;  // start 6, stop 4, About 1, select 3, wait 6
        SCOPED_TRACE("action " + std::to_string(step) + " (" + std::to_string(action) + ") at " +
                     std::to_string(loop.Now()) + " us");
        const bool oneShotWasRunning = Running("Class21");
        const bool stopped = action >= 6 && action < 10 && Enabled("stop");
        if (action < 6) {
            selectAny();
            Click("play");  // ignored when disabled
        } else if (action < 10) {
            Click("stop");
        } else if (action < 11) {
            window.ChooseMenuItem("aboutqv8");
            ++abouts;
        } else if (action < 14) {
            selectAny();
        } else {
            loop.RunFor(static_cast<double>(user() % 4'000'001));
        }
        EXPECT_LE(loop.scheduler().JobCount(), 2u);
        loop.RunUntilIdle();
        EXPECT_LE(loop.scheduler().JobCount(), 2u);
        stops += stopped;
        // Ended by itself: nothing else stops a one shot, and nothing starts one while it runs.
        oneShotsEnded += oneShotWasRunning && !stopped && !Running("Class21");

        for (const auto& shown : boxes.texts()) {
            donations += shown == DonationMessage();
            aboutsShown += shown == AboutText();
            EXPECT_TRUE(shown == DonationMessage() || shown == AboutText()) << shown;
        }
        boxes.Clear();
        plays += player->played.size();
        player->played.clear();

        const auto running = std::count_if(kModes.begin(), kModes.end(),
                                           [&](const auto& m) { return Running(ThreadOf(m)); });
        ASSERT_LE(running, 1) << "two modes at once";
        for (const std::string& mode : kModes) {
            if (Running(ThreadOf(mode))) {
                EXPECT_EQ(State(), Performing(mode));
                modesSeen.insert(mode);
            }
        }
        if (running == 0) {
            EXPECT_TRUE(State() == kIdle || State() == kOneShotEnded);
        }
        EXPECT_EQ(boxes.OpenCount(), 0u);
        EXPECT_EQ(donations, static_cast<std::size_t>(stops + oneShotsEnded));
        EXPECT_EQ(aboutsShown, static_cast<std::size_t>(abouts));
        EXPECT_TRUE(uncaught.empty()) << uncaught.front();
    }
    // The run must actually have gone through every path it checks.
    EXPECT_GT(stops, 500);
    EXPECT_GT(oneShotsEnded, 5);
    EXPECT_GT(abouts, 200);
    EXPECT_GT(plays, 2'500u);
    EXPECT_LE(plays, static_cast<std::size_t>(loop.Now() / 190'000)) << "no step is shorter";
    EXPECT_EQ(modesSeen.size(), kModes.size());
}

}  // namespace
}  // namespace lark::testing
