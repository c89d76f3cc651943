// The transport and the three modes, as the user drives them.
#include <QApplication>
#include <QTest>
#include <optional>
#include <sstream>

#include "PerformanceFixture.h"
#include "runtime/UncaughtErrors.h"
#include "support/Statistics.h"

namespace lark::testing {
namespace {

using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;

// Sentence order: the twelve steps take 8.59 s; mankind's 1.26 s outlasts the 1 s gap, so the
// beep follows at once, and the next cycle 1 s after the beep's Play.
constexpr double kBeepAt = 8'590'000;
constexpr double kCycle = kBeepAt + 1'000'000;

class ModesTest : public PerformanceTest {
  protected:
    // Starts the mode with the given draws and presses stop afterUs later (then after one more
    // turn, to catch the run parked at a yield). Nothing may sound after the press.
    std::size_t StopAfter(const std::string& mode, const Draws& draws, double afterUs,
                          bool oneMoreTurn = false) {
        player->played.clear();
        random.Append(draws);
        const double start = loop.Now();
        Start(mode);
        loop.RunUntil(start + afterUs);
        if (oneMoreTurn) {
            EXPECT_TRUE(loop.Step());
        }
        const std::size_t heard = player->played.size();
        Click("stop");
        loop.RunFor(30'000'000);
        EXPECT_EQ(player->played.size(), heard) << "a clip after stop";
        EXPECT_EQ(State(), kIdle);
        EXPECT_FALSE(Running(ThreadOf(mode)));
        return heard;
    }
    // Draws over the entries left: 0-high down to 0-1.
    static Ranges Shrinking(std::int32_t high) {
        Ranges ranges;
        for (; high >= 1; --high) {
            ranges.emplace_back(0, high);
        }
        return ranges;
    }
    // Every cycle the same clips, each equally likely at every position (0.999 quantile of
    // chi-square with 11 or 12 degrees of freedom).
    static void ExpectUniformOrders(const std::vector<Names>& cycles) {
        const std::size_t n = cycles.front().size();
        Names clips = cycles.front();
        std::sort(clips.begin(), clips.end());
        std::map<std::string, std::vector<int>> counts;
        for (const Names& cycle : cycles) {
            for (std::size_t i = 0; i < n; ++i) {
                counts[cycle[i]].resize(n);
                ++counts[cycle[i]][i];
            }
            Names sorted = cycle;
            std::sort(sorted.begin(), sorted.end());
            ASSERT_EQ(sorted, clips);
        }
        for (const auto& [clip, atPosition] : counts) {
            EXPECT_LT(ChiSquareUniform(atPosition), n == 13 ? 32.9 : 31.3) << clip;
        }
    }
};

using TransportTest = ModesTest;
using OneShotTest = ModesTest;
using LoopedOneTest = ModesTest;
using LoopedTwoTest = ModesTest;

// --- the transport

TEST_F(TransportTest, StartRunsOnlyTheSelectedModeOnceWhichSetsItsControlsBeforeItsFirstDraw) {
    Click("play");  // the window opens with looped 1 chosen
    EXPECT_TRUE(Running("Class31"));
    loop.RunUntilIdle();
    Click("stop");
    loop.RunUntilIdle();

    const std::map<std::string, std::pair<std::int32_t, std::int32_t>> firstRange = {
        {"looped2", {1, 13}}, {"oneshot", {0, 12}}, {"looped1", {0, 11}}};
    for (const std::string& mode : kModes) {
        SCOPED_TRACE(mode);
        std::optional<Controls> atFirstDraw;
        random.onDraw = [&] { atFirstDraw = atFirstDraw.value_or(State()); };
        const std::size_t draws = random.ranges().size();
        Select(mode);
        Click("play");
        Click("play");  // still enabled: the thread has not greyed it out yet
        EXPECT_EQ(State(), (Controls{true, false, true, true, true, true})) << "only the arrows";
        for (const std::string& other : kModes) {
            EXPECT_EQ(Running(ThreadOf(other)), other == mode) << other;
        }
        loop.RunUntilIdle();
        EXPECT_EQ(atFirstDraw, Performing(mode));
        ASSERT_EQ(random.ranges().size(), draws + 1) << "one performance for both clicks";
        EXPECT_EQ(random.ranges()[draws], firstRange.at(mode));
        Click("stop");
        loop.RunUntilIdle();
    }
}

TEST_F(TransportTest, StopRestoresIdleAtOnceKillsEveryModeAndWaitsOnItsMessage) {
    Click("stop");  // disabled: nothing happens
    loop.RunUntilIdle();
    EXPECT_TRUE(boxes.shown().empty());

    boxes.SetAutoDismiss(false);
    Start("looped2");
    loop.RunFor(1'500'000);
    Click("stop");
    EXPECT_EQ(State(), kIdle);
    for (const char* thread : {"Class11", "Class21", "Class31"}) {
        EXPECT_FALSE(Running(thread)) << thread;
    }
    loop.RunUntilIdle();
    EXPECT_EQ(boxes.texts(), Names{"Thanks for listening to this larkspool.\n"
                                   "If you enjoyed it and would like to make a donation of 49p "
                                   "(\xC2\xA3"
                                   "0.49) then please visit\n"
                                   "larkspool.example.org/qvweb/qvpayment.html\n"
                                   "Thank you."});
    EXPECT_EQ(loop.scheduler().JobCount(), 1u) << "stop's handler waits on its message";
    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);
    EXPECT_TRUE(window.Find<RadioButton>("looped2").Value()) << "the mode choice is kept";
}

TEST_F(TransportTest, EachActionChangesTheControlsInItsOwnOrderAndAKillEndsNone) {
    const Names shown = {"ChasingArrows1 shown", "stop on", "play off"};  // start, then the run's
    struct Case {
        const char* mode;
        Names start;  // the rest of the run's start actions
        Names stop;   // the running mode's own button is enabled already
    };
    ControlChanges changes{window};
    for (const Case& c :
         {Case{"looped2",
               {"oneshot off", "looped1 off"},
               {"stop off", "play on", "looped1 on", "oneshot on", "ChasingArrows1 hidden"}},
          Case{"oneshot",
               {"looped2 off", "looped1 off"},
               {"stop off", "play on", "looped1 on", "looped2 on", "ChasingArrows1 hidden"}},
          Case{"looped1",
               {"looped2 off", "oneshot off"},
               {"stop off", "play on", "looped2 on", "oneshot on", "ChasingArrows1 hidden"}}}) {
        SCOPED_TRACE(c.mode);
        Names start = shown;
        start.insert(start.end(), c.start.begin(), c.start.end());
        Start(c.mode);
        EXPECT_EQ(changes.Take(), start);
        loop.RunFor(1'500'000);
        Click("stop");
        loop.RunFor(30'000'000);
        EXPECT_EQ(changes.Take(), c.stop);
    }

    // Ended by themselves: one shot after its pause (stop stays on); looped 1 at the end of its
    // cycle once stop is found off.
    random.Append(Draws(12, 0));
    Start("oneshot");
    changes.Take();
    loop.RunFor(20'000'000);
    EXPECT_EQ(changes.Take(),
              (Names{"looped2 on", "looped1 on", "play on", "ChasingArrows1 hidden"}));
    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(changes.Take(), Names{"stop off"});

    Start("looped1");
    changes.Take();
    window.Find<PushButton>("stop").SetEnabled(false);
    loop.RunFor(30'000'000);
    EXPECT_EQ(changes.Take(),
              (Names{"stop off", "looped2 on", "play on", "oneshot on", "ChasingArrows1 hidden"}));
}

// Real key events, as the keyboard gives them, to the active window.
class KeyboardTest : public ModesTest {
  protected:
    void SetUp() override {
        ModesTest::SetUp();
        QApplication::setActiveWindow(&window);
    }
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    std::string Focused() const {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName().toStdString() : "";
    }
};

TEST_F(KeyboardTest, TabArrowsSpaceAndEnterDoWhatTheMouseDoes) {
    // Tab in reading order: the mode group (at its chosen button), start; stop while greyed is
    // skipped.
    Names tabs;
    for (int i = 0; i < 3; ++i) {
        Key(Qt::Key_Tab);
        tabs.push_back(Focused());
    }
    EXPECT_EQ(tabs, (Names{"looped1", "play", "looped1"}));
    // Arrows move the choice within the group, by where the buttons stand.
    Names moves;
    for (int key : {Qt::Key_Right, Qt::Key_Down, Qt::Key_Up, Qt::Key_Right}) {
        Key(key);
        moves.push_back(Focused());
    }
    EXPECT_EQ(moves, (Names{"oneshot", "looped2", "looped1", "oneshot"}));
    EXPECT_TRUE(window.Find<RadioButton>("oneshot").Value());
    EXPECT_FALSE(window.Find<RadioButton>("looped1").Value());

    Key(Qt::Key_Tab);
    ASSERT_EQ(Focused(), "play");
    Key(Qt::Key_Return);
    EXPECT_TRUE(Running("Class21"));
    loop.RunFor(1'000'000);
    EXPECT_EQ(Focused(), "stop") << "greying start passes the focus on";
    Key(Qt::Key_Space);
    loop.RunUntilIdle();
    EXPECT_FALSE(Running("Class21"));
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(DonationMessages(), 1u);

    Key(Qt::Key_Tab);
    ASSERT_EQ(Focused(), "play");
    Key(Qt::Key_Space);
    EXPECT_TRUE(Running("Class21"));
}

TEST_F(KeyboardTest, EditShortcutsChangeNothingAndQuitRunsNothingOfOurOwn) {
    ControlChanges changes{window};
    const auto typeEditKeys = [&] {
        for (int key : {Qt::Key_Z, Qt::Key_X, Qt::Key_C, Qt::Key_V}) {
            Key(key, Qt::ControlModifier);
        }
        loop.RunUntilIdle();
    };
    typeEditKeys();
    EXPECT_EQ(changes.Take(), Names{});
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);

    random.Append({7});
    Start("looped2");
    loop.RunFor(1'000'000);
    changes.Take();
    typeEditKeys();
    loop.RunFor(2'000'000);
    EXPECT_EQ(changes.Take(), Names{});
    EXPECT_EQ(State(), Performing("looped2"));
    EXPECT_EQ(ClipsHeard().size(), 2u) << "silence's step, then the next draw";
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(quits, 0);

    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    loop.RunUntilIdle();
    EXPECT_EQ(changes.Take(), Names{});
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_TRUE(Running("Class11")) << "nothing of ours stops it on the way out";
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

    EXPECT_EQ(ClipsHeard(), Names{"thats"});
    EXPECT_FALSE(Running("Class21"));
    EXPECT_NE(log.str().find("Class21.Run failed: missing clip silence (sound resource 177)"),
              std::string::npos)
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
    EXPECT_EQ(ClipsHeard(), (Names{"thats", "thats", "one1"}));
}

TEST_F(ModesTest, StopAtAnyWaitPlaysNoFurtherClip) {
    boxes.SetAutoDismiss(false);
    Draws silenceFirst(12, 0);
    silenceFirst[0] = 6;
    struct Case {
        const char* mode;
        Draws draws;  // all taken by the time of the press
        double atUs;
        bool oneMoreTurn;
        std::size_t heard, messages;
    };
    for (const Case& c : {
             Case{"oneshot", {6}, 1'000'000, false, 1, 1},             // inside silence's step
             Case{"oneshot", silenceFirst, 10'000'000, false, 13, 1},  // in the final pause
             Case{"oneshot", silenceFirst, 11'000'000, false, 13, 2},  // behind its own message
             Case{"looped1", {0, 0}, 500'000, false, 2, 1},            // inside a word
             // Backwards, a short "thats" is last: 8.38 s, then the gap before the beep to 9.38 s.
             Case{"looped1", {11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, 9'000'000, false, 12, 1},
             Case{"looped1", Draws(11, 0), kBeepAt + 100'000, false, 13, 1},  // in the beep's step
             Case{"looped1", Draws(11, 0), kBeepAt + 500'000, false, 13, 1},  // in the gap after
             Case{"looped1", Draws(11, 0), kCycle - 1, true, 13, 1},  // at the yield after that
             Case{"looped2", {7}, 1'000'000, false, 1, 1},            // inside silence's step
             Case{"looped2", {2}, 580'000 - 1, true, 1, 1},           // at the yield after one1
         }) {
        SCOPED_TRACE(std::string(c.mode) + " at " + std::to_string(c.atUs));
        boxes.Clear();
        EXPECT_EQ(StopAfter(c.mode, c.draws, c.atUs, c.oneMoreTurn), c.heard);
        EXPECT_TRUE(random.ScriptUsedUp());
        EXPECT_EQ(DonationMessages(), c.messages);
        while (boxes.DismissOldest()) {
        }
        loop.RunUntilIdle();
    }
}

TEST_F(ModesTest, StopDisabledWithoutAKillEndsALoopAtItsNextCheck) {
    struct Case {
        const char* mode;
        Draws draws;
        double disableAtUs;
        std::size_t heard;
        Controls end;
    };
    // Looped 1 finishes its cycle and beep, then takes its end actions: looped1 and stop are
    // left as they were. Looped 2 has none.
    for (const Case& c :
         {Case{"looped1", Draws(11, 0), 3'000'000, 13, {true, false, true, true, true, false}},
          Case{"looped2", {2}, 0, 1, {false, false, false, false, true, true}}}) {
        SCOPED_TRACE(c.mode);
        player->played.clear();
        random.Append(c.draws);
        const double start = loop.Now();
        Start(c.mode);
        loop.RunUntil(start + c.disableAtUs);
        window.Find<PushButton>("stop").SetEnabled(false);
        loop.RunFor(30'000'000);
        EXPECT_EQ(player->played.size(), c.heard);
        EXPECT_FALSE(Running(ThreadOf(c.mode)));
        EXPECT_EQ(State(), c.end);
    }
    EXPECT_TRUE(boxes.shown().empty());
}

// --- one shot

TEST_F(OneShotTest, DrawsFromTheEntriesLeftPlayEveryClipOnceOneStepApart) {
    // 11 of 0-11 once silence is gone is the beep and 3 of 0-10 is step1: the two whose list
    // tags ("bleep", "sstep") differ from the clip names. Always the last entry: backwards.
    const std::vector<std::pair<Draws, Names>> cases = {
        {{6, 11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0},
         {"silence", "beep", "step1", "thats", "one1", "small", "for1", "man", "one2", "giant",
          "leap", "for2", "mankind"}},
        {{12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1}, Names(kSentence.rbegin(), kSentence.rend())}};
    for (const auto& [draws, order] : cases) {
        player->played.clear();
        const double start = loop.Now() - t0;
        random.Append(draws);
        Start("oneshot");
        loop.RunToCompletion();
        EXPECT_EQ(HeardSoFar(), OneStepApart(order, start));
    }
    // Every run: a new generator per draw over the entries left; the last one takes none.
    Ranges ranges = Shrinking(12);
    ranges.insert(ranges.end(), ranges.begin(), ranges.end());
    EXPECT_EQ(random.ranges(), ranges);
    EXPECT_EQ(random.made(), 24);
}

TEST_F(OneShotTest, EndsTwoSecondsAfterTheLastStepWithTheEndStateBehindTheMessage) {
    random.Append(Draws(12, 0));  // the sentence in order: 8.86 s of steps
    boxes.SetAutoDismiss(false);
    Start("oneshot");
    const double end = 8'860'000 + 2'000'000;
    loop.RunUntil(t0 + end - 1);
    EXPECT_EQ(State(), Performing("oneshot"));
    EXPECT_EQ(DonationMessages(), 0u);

    loop.RunUntil(t0 + end);
    EXPECT_EQ(DonationMessages(), 1u);
    EXPECT_EQ(State(), kOneShotEnded);
    EXPECT_TRUE(Running("Class21")) << "the run ends when its message is dismissed";
    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_FALSE(Running("Class21"));

    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(DonationMessages(), 2u);
    EXPECT_EQ(State(), kIdle);
    EXPECT_EQ(player->played.size(), 13u);
}

TEST_F(OneShotTest, EveryClipOnceAndPositionsUniformOverManyRuns) {
    std::vector<Names> runs;
    while (runs.size() < 1300) {
        player->played.clear();
        Start("oneshot");
        loop.RunToCompletion();
        runs.push_back(ClipsHeard());
    }
    ASSERT_EQ(runs.front().size(), 13u);
    ExpectUniformOrders(runs);
}

// --- looped 1

TEST_F(LoopedOneTest, CyclesAreTheTwelveEventsThenTheBeepWithGapsFromEachPlay) {
    random.Append(Draws(11, 0));
    random.Append({11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});  // then backwards: a short "thats" last
    Start("looped1");
    const Names words(kSentence.begin(), kSentence.end() - 1);
    auto expected = OneStepApart(words);
    expected.emplace_back("beep", kBeepAt);
    const auto second = OneStepApart({words.rbegin(), words.rend()}, kCycle);
    expected.insert(expected.end(), second.begin(), second.end());
    expected.emplace_back("beep", kCycle + 9'380'000);  // a full 1 s after "thats"' Play
    loop.RunUntil(t0 + kCycle + 9'380'000);
    EXPECT_EQ(HeardSoFar(), expected);
    Ranges ranges = Shrinking(11);
    ranges.insert(ranges.end(), ranges.begin(), ranges.end());
    EXPECT_EQ(random.ranges(), ranges);
}

TEST_F(LoopedOneTest, EveryCycleIsAPermutationOfTheTwelveWithTheBeepOnlyBetween) {
    Start("looped1");
    constexpr int kCycles = 1200;
    // Bounded: a mode that stops playing must fail here, not hang the suite.
    for (int i = 0; i < 200 && player->played.size() < kCycles * 13; ++i) {
        loop.RunFor(600'000'000);
    }
    ASSERT_GE(player->played.size(), kCycles * 13u);
    const auto heard = ClipsHeard();
    std::vector<Names> cycles;
    for (auto at = heard.begin(); cycles.size() < kCycles; at += 13) {
        ASSERT_EQ(at[12], "beep");
        cycles.emplace_back(at, at + 12);
    }
    ASSERT_EQ(std::count(cycles.front().begin(), cycles.front().end(), "beep"), 0);
    ExpectUniformOrders(cycles);
}

// --- looped 2

TEST_F(LoopedTwoTest, DrawsMapToSentenceOrderAndMayRepeatOrStartWithTheBeep) {
    random.Append({13, 1, 1, 7, 12});
    Start("looped2");
    loop.RunUntil(t0 + 3'530'000);
    EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{{"beep", 0},
                                                {"thats", 270'000},
                                                {"thats", 480'000},
                                                {"silence", 690'000},
                                                {"mankind", 3'530'000}}));
}

TEST_F(LoopedTwoTest, DrawsAreUniformOverThirteenAndRepeatsHappen) {
    Start("looped2");
    constexpr std::size_t kDraws = 6500;
    for (int i = 0; i < 1000 && player->played.size() < kDraws; ++i) {
        loop.RunFor(60'000'000);
    }
    ASSERT_GE(player->played.size(), kDraws);
    const auto heard = ClipsHeard();
    std::vector<int> counts;
    int repeats = 0;
    for (std::size_t i = 0; i < kDraws; ++i) {
        repeats += i > 0 && heard[i] == heard[i - 1];
    }
    for (const std::string& clip : kSentence) {
        counts.push_back(std::count(heard.begin(), heard.begin() + kDraws, clip));
    }
    EXPECT_LT(ChiSquareUniform(counts), 32.9);  // 12 dof, 0.999
    EXPECT_GT(repeats, static_cast<int>(kDraws / 13 / 2)) << "about one draw in 13 repeats";
    EXPECT_EQ(loop.scheduler().JobCount(), 1u) << "nothing piles up as the run goes on";
}

}  // namespace
}  // namespace lark::testing
