#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "app/App.h"
#include "app/Startup.h"
#include "platform/Controls.h"
#include "platform/Random.h"
#include "platform/Runtime.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualLoop.h"
#include "window/DonationMessage.h"
#include "window/Window1.h"

namespace lark::testing {
namespace {

// Ten thousand random user actions against the real window, transport, modes and About item,
// in virtual time. After every action the controls, threads, messages and jobs must be in
// one of the states a user could have reached, and nothing may pile up.
class PerformanceSoakTest : public ::testing::Test {
  protected:
    static constexpr int kActions = 10'000;
    static constexpr int kClearEvery = 100;  // keeps the recorded Plays small

    struct Mode {
        const char* button;
        const char* thread;
    };
    static constexpr std::array<Mode, 3> kModes = {
        {{"looped2", "Class11"}, {"oneshot", "Class21"}, {"looped1", "Class31"}}};

    struct Controls {
        bool play, stop, looped1, oneshot, looped2, arrowsVisible;
        bool operator==(const Controls&) const = default;
    };
    static constexpr Controls kIdle{true, false, true, true, true, false};
    // A one shot that ended by itself leaves stop enabled as well.
    static constexpr Controls kOneShotEnded{true, true, true, true, true, false};
    static Controls Performing(const std::string& mode) {
        return {false, true, mode == "looped1", mode == "oneshot", mode == "looped2", true};
    }

    enum class Action { Start, Stop, About, Select, Wait };

    VirtualLoop loop;
    RecordingMessageBoxes boxes;  // dismissed as soon as shown
    MersenneRandomSource random{0x4c61726b73706f6fULL};
    Runtime runtime{loop.clock(), loop.scheduler(), random, boxes};
    std::shared_ptr<RecordingPlayer> player = std::make_shared<RecordingPlayer>(loop.clock());
    FakeStore store{player};
    SoundBank sounds{[this] { return &store; }};
    Startup startup{runtime, sounds, [] {}};
    Window1* window = nullptr;
    std::vector<std::string> uncaught;

    // What the run did, and what it must therefore have shown.
    std::mt19937 user{20'240'716u};
    int stops = 0;
    int oneShotsEnded = 0;
    int abouts = 0;
    std::size_t donationsShown = 0;
    std::size_t aboutsShown = 0;
    std::size_t otherMessages = 0;
    std::size_t plays = 0;
    std::size_t playsCounted = 0;  // of those recorded since the last clearing
    std::size_t maxJobs = 0;
    std::set<std::string> modesSeen;

    void SetUp() override {
        loop.scheduler().SetUncaughtHandler(
            [this](const std::string& job, std::exception_ptr) { uncaught.push_back(job); });
        // The start-up steps up to the event loop: the App with its About handler, the window.
        startup._NewAppInstance();
        startup._ApplicationAddMenuHandlers();
        startup._MakeDefaultView();
        window = startup.DefaultWindow();
        ASSERT_NE(window, nullptr);
    }

    bool Enabled(const std::string& control) const {
        return window->Find<RectControl>(control).Enabled();
    }
    bool Running(const std::string& thread) const {
        return window->Find<Thread>(thread).IsRunning();
    }
    Controls State() const {
        return {Enabled("play"),    Enabled("stop"),
                Enabled("looped1"), Enabled("oneshot"),
                Enabled("looped2"), window->Find<ChasingArrows>("ChasingArrows1").Visible()};
    }
    const Mode& AnyMode() { return kModes[user() % kModes.size()]; }
    void SelectIfEnabled(const Mode& mode) {
        if (Enabled(mode.button)) {
            window->Find<RadioButton>(mode.button).SetValue(true);
        }
    }
    // Returns whether the press did anything: a disabled button ignores it.
    bool PushIfEnabled(const std::string& button) {
        if (!Enabled(button)) {
            return false;
        }
        window->Find<PushButton>(button).Push();
        return true;
    }

    // Out of 20: start 6, stop 4, About 1, select 3, wait 6. Taken from the raw engine, not
    // a distribution, so the run is the same with every standard library.
    Action Draw() {
        static constexpr std::array<Action, 20> kWeighted = {
            Action::Start, Action::Start,  Action::Start,  Action::Start,  Action::Start,
            Action::Start, Action::Stop,   Action::Stop,   Action::Stop,   Action::Stop,
            Action::About, Action::Select, Action::Select, Action::Select, Action::Wait,
            Action::Wait,  Action::Wait,   Action::Wait,   Action::Wait,   Action::Wait};
        return kWeighted[user() % kWeighted.size()];
    }

    static const char* Name(Action action) {
        static constexpr std::array<const char*, 5> kNames = {"start", "stop", "about", "select",
                                                              "wait"};
        return kNames[static_cast<std::size_t>(action)];
    }

    // Returns whether the action was a stop press that took effect.
    bool Perform(Action action) {
        switch (action) {
            case Action::Start:
                SelectIfEnabled(AnyMode());
                PushIfEnabled("play");
                return false;
            case Action::Stop:
                return PushIfEnabled("stop");
            case Action::About:
                window->ChooseMenuItem("aboutqv8");
                ++abouts;
                return false;
            case Action::Select:
                SelectIfEnabled(AnyMode());
                return false;
            case Action::Wait:
                loop.RunFor(static_cast<double>(user() % 4'000'001));
                return false;
        }
        return false;
    }

    // Tallies and forgets what was shown and played since the last call.
    void Collect() {
        const std::string donation = DonationMessage();
        const std::string about = AboutText();
        for (const RecordingMessageBoxes::Shown& shown : boxes.shown()) {
            if (shown.text == donation) {
                ++donationsShown;
            } else if (shown.text == about) {
                ++aboutsShown;
            } else {
                ++otherMessages;
                ADD_FAILURE() << "unexpected message: " << shown.text;
            }
        }
        boxes.Clear();
        for (std::size_t i = playsCounted; i < player->played.size(); ++i) {
            EXPECT_EQ(player->played[i].volume, 100);
            EXPECT_NE(store.NumberOf(player->played[i].clip), 0);
        }
        plays += player->played.size() - playsCounted;
        playsCounted = player->played.size();
    }

    void CheckInvariants() {
        int running = 0;
        const Mode* runningMode = nullptr;
        for (const Mode& mode : kModes) {
            if (Running(mode.thread)) {
                ++running;
                runningMode = &mode;
            }
        }
        ASSERT_LE(running, 1) << "two modes at once";
        const Controls state = State();
        if (runningMode != nullptr) {
            EXPECT_EQ(state, Performing(runningMode->button)) << runningMode->thread;
            modesSeen.insert(runningMode->button);
        } else {
            EXPECT_TRUE(state == kIdle || state == kOneShotEnded)
                << "play " << state.play << " stop " << state.stop << " looped1 " << state.looped1
                << " oneshot " << state.oneshot << " looped2 " << state.looped2 << " arrows "
                << state.arrowsVisible;
        }
        EXPECT_EQ(boxes.OpenCount(), 0u);
        EXPECT_EQ(donationsShown, static_cast<std::size_t>(stops + oneShotsEnded));
        EXPECT_EQ(aboutsShown, static_cast<std::size_t>(abouts));
        EXPECT_EQ(otherMessages, 0u);
        EXPECT_TRUE(uncaught.empty()) << uncaught.front();
        EXPECT_LE(loop.scheduler().JobCount(), 2u);
    }
};

TEST_F(PerformanceSoakTest, TenThousandRandomActionsKeepEveryStateReachableAndLoseNoMessage) {
    for (int step = 1; step <= kActions; ++step) {
        const Action action = Draw();
        SCOPED_TRACE("action " + std::to_string(step) + " (" + Name(action) + ") at " +
                     std::to_string(loop.Now()) + " us");
        const bool oneShotWasRunning = Running("Class21");

        const bool stopped = Perform(action);
        maxJobs = std::max(maxJobs, loop.scheduler().JobCount());
        loop.RunUntilIdle();
        maxJobs = std::max(maxJobs, loop.scheduler().JobCount());

        stops += stopped;
        // Ended by itself: nothing else stops a one shot, and nothing starts one while it runs.
        oneShotsEnded += oneShotWasRunning && !stopped && !Running("Class21");
        Collect();
        CheckInvariants();
        if (step % kClearEvery == 0) {
            player->played.clear();
            playsCounted = 0;
        }
        if (HasFailure()) {
            break;
        }
    }
    EXPECT_LE(maxJobs, 2u);

    // The run must actually have gone through every path it checks.
    EXPECT_GT(stops, 500);
    EXPECT_GT(oneShotsEnded, 10);
    EXPECT_GT(abouts, 200);
    EXPECT_GT(plays, 4'000u);
    EXPECT_LE(plays, static_cast<std::size_t>(loop.Now() / 190'000)) << "no step is shorter";
    EXPECT_EQ(modesSeen.size(), kModes.size());
}

}  // namespace
}  // namespace lark::testing
