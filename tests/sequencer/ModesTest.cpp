// The transport and the three modes, as the user drives them, in virtual time.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <array>
#include <map>
#include <optional>
#include <sstream>

#include "app/Startup.h"
#include "runtime/UncaughtErrors.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/TestRuntime.h"
#include "ui/Controls.h"
#include "window/Window1.h"

namespace lark::testing {
namespace {

using Draws = std::vector<std::int32_t>;
using Names = std::vector<std::string>;
using Heard = std::pair<std::string, double>;  // a clip and its Play, since the start
using Ranges = std::vector<std::pair<std::int32_t, std::int32_t>>;

const Names kModes = {"looped2", "oneshot", "looped1"};
const std::map<std::string, std::string> kThreadOf = {
    {"looped2", "Class11"}, {"oneshot", "Class21"}, {"looped1", "Class31"}};
const Names kWords = {"thats",   "one1", "small", "step1", "for1", "man",
                      "silence", "one2", "giant", "leap",  "for2", "mankind"};  // and the beep
// The hold after each clip's Play, the same in every mode.
const std::map<std::string, double> kStepMs = {
    {"thats", 210}, {"one1", 580},     {"small", 440}, {"step1", 420}, {"for1", 210},
    {"man", 600},   {"silence", 2840}, {"one2", 1100}, {"giant", 410}, {"leap", 330},
    {"for2", 190},  {"mankind", 1260}, {"beep", 270}};
// Sentence order: the twelve steps take 8.59 s; mankind's 1.26 s outlasts the 1 s gap, so the
// beep follows at once, and the next cycle 1 s after the beep's Play.
constexpr double kBeepAt = 8'590'000;
constexpr double kCycle = kBeepAt + 1'000'000;
// One shot: all thirteen steps in sentence order, then its 2 s pause.
constexpr double kOneShotEnd = kBeepAt + 270'000 + 2'000'000;
// Spelled out, not taken from the code, so that every count of it checks the text too.
const std::string kDonation = R"(Thanks for listening to this larkspool.
If you enjoyed it and would like to make a donation of 49p (£0.49) then please visit
larkspool.example.org/qvweb/qvpayment.html
Thank you.)";

using Controls = std::array<bool, 6>;  // play, stop, looped1, oneshot, looped2 on; arrows shown
constexpr Controls kIdle{true, false, true, true, true, false};
// Everything off but stop, the running mode's button and the arrows.
Controls Performing(const std::string& m) {
    return {false, true, m == "looped1", m == "oneshot", m == "looped2", true};
}
// Draws over the entries left: 0-high down to 0-1, run after run.
Ranges RangesFrom(std::int32_t high, int runs) {
    Ranges ranges;
    for (std::int32_t i = 0; i < runs * high; ++i) {
        ranges.emplace_back(0, high - i % high);
    }
    return ranges;
}

// Every change of a control's Enabled or Visible state, in order, as its widget saw it.
struct ControlChanges final : QObject {
    explicit ControlChanges(const Window& window) {
        for (const char* name :
             {"play", "stop", "looped1", "oneshot", "looped2", "ChasingArrows1"}) {
            window.Find<RectControl>(name).Widget().installEventFilter(this);
        }
    }
    Names Take() { return std::exchange(changes, {}); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        const auto* widget = static_cast<QWidget*>(watched);
        const auto type = event->type();
        if (type == QEvent::EnabledChange || type == QEvent::ShowToParent ||
            type == QEvent::HideToParent) {
            changes.push_back(widget->objectName().toStdString() +
                              (type == QEvent::ShowToParent   ? " shown"
                               : type == QEvent::HideToParent ? " hidden"
                               : widget->isEnabled()          ? " on"
                                                              : " off"));
        }
        return false;
    }
    Names changes;
};

// The started-up application and its window, with scripted draws, recorded message boxes and
// recorded Plays.
class ModesTest : public ::testing::Test, protected TestRuntime {
  protected:
    std::shared_ptr<RecordingPlayer> player = std::make_shared<RecordingPlayer>(loop.clock());
    FakeStore store{player};
    SoundBank sounds{&store};
    int quits = 0;
    Startup startup{runtime, sounds, [this] { ++quits; }};
    // The start-up steps up to the event loop: the App with its About handler, the window.
    Window1& window = [this]() -> Window1& {
        startup._Main([] { return 0; });
        return *startup.DefaultWindow();
    }();
    const double t0 = loop.Now();
    std::ostringstream log;  // failed jobs, as the app reports them
    UncaughtErrors errors{boxes, log};

    void SetUp() override {
        loop.scheduler().SetUncaughtHandler(
            [this](const std::string& job, std::exception_ptr e) { errors.Report(job, e); });
    }
    void TearDown() override { EXPECT_EQ(log.str(), ""); }

    bool Enabled(const std::string& name) const { return window.Find<RectControl>(name).Enabled(); }
    void Select(const std::string& mode) { window.Find<RadioButton>(mode).SetValue(true); }
    void Click(const std::string& button) { window.Find<PushButton>(button).Push(); }
    // Presses start and lets the thread get the processor.
    void Start(const std::string& mode) {
        Select(mode);
        Click("play");
        loop.RunUntilIdle();
    }
    // Whether the mode's thread runs.
    bool Running(const std::string& mode) const {
        return window.Find<Thread>(kThreadOf.at(mode)).IsRunning();
    }
    Controls State() const {
        return {Enabled("play"),    Enabled("stop"),
                Enabled("looped1"), Enabled("oneshot"),
                Enabled("looped2"), window.Find<ChasingArrows>("ChasingArrows1").Visible()};
    }
    std::vector<Heard> HeardSoFar() const {
        std::vector<Heard> heard;
        for (const auto& p : player->played) {  // Clips() is in resource number order
            heard.emplace_back(SoundBank::Clips()[store.NumberOf(p.clip) - 168].name, p.atUs - t0);
        }
        return heard;
    }
    // The clips back to back, one step apart, from the given time.
    static std::vector<Heard> OneStepApart(const Names& clips, double at = 0) {
        std::vector<Heard> heard;
        for (const auto& clip : clips) {
            heard.emplace_back(clip, at);
            at += kStepMs.at(clip) * 1000;
        }
        return heard;
    }
    std::size_t DonationMessages() const {
        return std::count(boxes.texts.begin(), boxes.texts.end(), kDonation);
    }
    // Real key events, as the keyboard gives them, to the active window.
    void Key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : &window;
        QTest::keyClick(target, static_cast<Qt::Key>(key), modifiers);
    }
    static std::string Focused() {
        const QWidget* focus = QApplication::focusWidget();
        return focus ? focus->objectName().toStdString() : "";
    }
    // Neither push button is ever the default one, as the window or Qt tells it.
    void ExpectNoDefaultButton() const {
        for (const char* name : {"play", "stop"}) {
            const PushButton& button = window.Find<PushButton>(name);
            const auto& widget = static_cast<const QPushButton&>(button.Widget());
            EXPECT_FALSE(button.Default() || button.Cancel() || widget.isDefault() ||
                         widget.autoDefault())
                << name << " with " << Focused() << " focused";
        }
    }
};

// --- the transport

// Every way a performance ends, each changing the controls in its own order (as their widgets
// saw it). A kill runs none of the mode's end actions. Stop greyed without a kill ends a loop at
// its next check: looped 1 finishes its cycle and beep, then takes its end actions (leaving
// looped1 and stop as they were); looped 2 has none. One shot ended by itself leaves stop on,
// so pressing it shows the message once more.
enum class End { kStop, kItself, kCheck };  // stop pressed, ended by itself, at a check
struct EndCase {
    const char* name;
    const char* mode;
    End end;
    std::size_t heard, messages;
    Names ended;  // and after one more press of stop
};
class ModesEndTest : public ModesTest, public ::testing::WithParamInterface<EndCase> {};

TEST_P(ModesEndTest, StartAndEndChangeTheControlsInTheirOwnOrder) {
    const EndCase& c = GetParam();
    ControlChanges changes{window};
    std::optional<Controls> atFirstDraw;
    random.onDraw = [&] { atFirstDraw = atFirstDraw.value_or(State()); };
    Select(c.mode);
    Click("play");
    Click("play");  // still enabled: the thread has not greyed it out yet
    EXPECT_EQ(State(), (Controls{true, false, true, true, true, true})) << "only the arrows";
    Names started = {"ChasingArrows1 shown", "stop on", "play off"};
    for (const std::string& other : kModes) {
        EXPECT_EQ(Running(other), other == c.mode) << other;
        if (other != c.mode) {
            started.push_back(other + " off");  // greyed in the window's order
        }
    }
    loop.RunUntilIdle();
    EXPECT_EQ(atFirstDraw, Performing(c.mode)) << "the controls are set before the first draw";
    EXPECT_EQ(changes.Take(), started);

    if (c.end == End::kStop) {
        Click("stop");
        EXPECT_EQ(State(), kIdle) << "at once";
    } else if (c.end == End::kCheck) {
        window.Find<PushButton>("stop").SetEnabled(false);
    }
    loop.RunFor(30'000'000);
    EXPECT_FALSE(Running(c.mode));
    Click("stop");  // greyed by now, unless one shot ended by itself
    loop.RunUntilIdle();
    EXPECT_EQ(changes.Take(), c.ended);
    EXPECT_EQ(player->played.size(), c.heard) << "one performance for both clicks";
    EXPECT_EQ(DonationMessages(), c.messages);
}

const std::string kHidden = "ChasingArrows1 hidden";
INSTANTIATE_TEST_SUITE_P(
    Ways, ModesEndTest,
    ::testing::Values(EndCase{"Looped2Stopped", "looped2", End::kStop, 1, 1,
                              Names{"stop off", "play on", "looped1 on", "oneshot on", kHidden}},
                      EndCase{"OneShotStopped", "oneshot", End::kStop, 1, 1,
                              Names{"stop off", "play on", "looped1 on", "looped2 on", kHidden}},
                      EndCase{"Looped1Stopped", "looped1", End::kStop, 1, 1,
                              Names{"stop off", "play on", "looped2 on", "oneshot on", kHidden}},
                      EndCase{"OneShotEndedByItself", "oneshot", End::kItself, 13, 2,
                              Names{"looped2 on", "looped1 on", "play on", kHidden, "stop off"}},
                      EndCase{"Looped1EndedAtItsCheck", "looped1", End::kCheck, 13, 0,
                              Names{"stop off", "looped2 on", "play on", "oneshot on", kHidden}},
                      EndCase{"Looped2EndedAtItsCheck", "looped2", End::kCheck, 1, 0,
                              Names{"stop off"}}),
    [](const auto& info) { return std::string(info.param.name); });

// Return, the keypad's Enter and Space each press the focused push button, which is never the
// default one.
TEST_F(ModesTest, TheKeyboardDoesWhatTheMouseDoesEditKeysNothingAndQuitNothingOfOurOwn) {
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    // Tab in reading order: the mode group (at its chosen button), start; stop while greyed is
    // skipped. Arrows move the choice within the group, by where the buttons stand.
    Names focus;
    for (int key : {Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Tab, Qt::Key_Right, Qt::Key_Down, Qt::Key_Up,
                    Qt::Key_Right, Qt::Key_Tab}) {
        Key(key);
        focus.push_back(Focused());
        ExpectNoDefaultButton();
    }
    EXPECT_EQ(focus, (Names{"looped1", "play", "looped1", "oneshot", "looped2", "looped1",
                            "oneshot", "play"}));

    Key(Qt::Key_Return);
    EXPECT_TRUE(Running("oneshot")) << "one shot, chosen by the arrows";
    loop.RunFor(1'000'000);
    EXPECT_EQ(Focused(), "stop") << "greying start passes the focus on";
    ExpectNoDefaultButton();
    Key(Qt::Key_Enter, Qt::KeypadModifier);
    loop.RunUntilIdle();
    EXPECT_FALSE(Running("oneshot"));
    EXPECT_EQ(DonationMessages(), 1u);

    Key(Qt::Key_Tab);
    ASSERT_EQ(Focused(), "play");
    Key(Qt::Key_Space);
    loop.RunUntilIdle();
    EXPECT_TRUE(Running("oneshot")) << "the mode chosen is kept";

    ControlChanges changes{window};
    for (int key : {Qt::Key_Z, Qt::Key_X, Qt::Key_C, Qt::Key_V}) {
        Key(key, Qt::ControlModifier);
    }
    loop.RunUntilIdle();
    EXPECT_EQ(changes.Take(), Names{});
    EXPECT_EQ(quits, 0);

    Key(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(quits, 1);
    loop.RunUntilIdle();
    EXPECT_EQ(changes.Take(), Names{});
    EXPECT_EQ(boxes.texts.size(), 1u);
    EXPECT_TRUE(Running("oneshot")) << "nothing of ours stops it on the way out";
}

TEST_F(ModesTest, AMissingClipEndsThePerformanceWithAnErrorAndStopRestoresTheControls) {
    store.missing = {177};
    random.Append({0, 5});  // thats, then silence (6th of the twelve left)
    Start("oneshot");
    loop.RunFor(20'000'000);

    EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{{"thats", 0}}));
    EXPECT_FALSE(Running("oneshot"));
    const std::string report = "Class21.Run failed: missing clip silence (sound resource 177)";
    EXPECT_EQ(log.str(), "larkspool8: " + report + "\n");
    log.str("");  // expected here, unlike anywhere else
    EXPECT_EQ(boxes.texts, Names{report + "."});
    EXPECT_EQ(boxes.kinds, std::vector{MessageBoxes::Kind::Error});
    EXPECT_EQ(State(), Performing("oneshot")) << "stop is still there to restore the controls";

    Click("stop");
    loop.RunUntilIdle();
    EXPECT_EQ(State(), kIdle);
}

// Stop pressed at a wait: no clip after it, and only stop's message left open. (Inside a
// performance's first step is the end tests' stopped cases.)
struct StopCase {
    const char* name;
    const char* mode;
    Draws draws;  // all taken by the time of the press
    double atUs;
    bool oneMoreTurn;  // to catch the run parked at a yield
    std::size_t heard, messages;
};
class ModesStopTest : public ModesTest, public ::testing::WithParamInterface<StopCase> {};

TEST_P(ModesStopTest, StopAtAWaitPlaysNoFurtherClip) {
    const StopCase& c = GetParam();
    boxes.autoDismiss = false;
    random.Append(c.draws);
    Start(c.mode);
    loop.RunUntil(t0 + c.atUs);
    if (c.oneMoreTurn) {
        EXPECT_TRUE(loop.Step());
    }
    EXPECT_EQ(player->played.size(), c.heard);
    EXPECT_TRUE(Running(c.mode)) << "one shot's run lasts until its message goes";
    Click("stop");
    EXPECT_EQ(State(), kIdle) << "at once";
    loop.RunFor(30'000'000);
    EXPECT_EQ(player->played.size(), c.heard) << "a clip after stop";
    EXPECT_FALSE(Running(c.mode));
    EXPECT_TRUE(random.script.empty());
    EXPECT_EQ(DonationMessages(), c.messages);
    EXPECT_EQ(boxes.OpenCount(), 1u) << "stop's own; a kill closes its job's box";
    EXPECT_EQ(loop.scheduler().JobCount(), 1u) << "stop's handler waits on its message";
}

const Draws kSilenceFirst = {6, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
INSTANTIATE_TEST_SUITE_P(
    Waits, ModesStopTest,
    ::testing::Values(
        StopCase{"OneShotInItsFinalPause", "oneshot", kSilenceFirst, kOneShotEnd - 1, false, 13, 1},
        StopCase{"OneShotBehindItsMessage", "oneshot", kSilenceFirst, kOneShotEnd, false, 13, 2},
        // Backwards, a short "thats" is last: 8.38 s, then the gap before the beep to 9.38 s.
        StopCase{"Looped1BeforeTheBeep", "looped1", Draws{11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1},
                 9'000'000, false, 12, 1},
        StopCase{"Looped1InTheBeep", "looped1", Draws(11, 0), kBeepAt + 100'000, false, 13, 1},
        StopCase{"Looped1AfterTheBeep", "looped1", Draws(11, 0), kBeepAt + 500'000, false, 13, 1},
        StopCase{"Looped1AtTheYieldAfterACycle", "looped1", Draws(11, 0), kCycle - 1, true, 13, 1},
        StopCase{"Looped2AtTheYieldAfterAStep", "looped2", Draws{2}, 580'000 - 1, true, 1, 1}),
    [](const auto& info) { return std::string(info.param.name); });

// --- the modes' orders and timing

TEST_F(ModesTest, OneShotDrawsFromTheEntriesLeftPlayingEveryClipOnceOneStepApart) {
    // 11 of 0-11 once silence is gone is the beep and 3 of 0-10 is step1: the two whose list
    // tags ("bleep", "sstep") differ from the clip names.
    random.Append({6, 11, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Start("oneshot");
    loop.RunToCompletion();
    EXPECT_EQ(HeardSoFar(),
              OneStepApart({"silence", "beep", "step1", "thats", "one1", "small", "for1", "man",
                            "one2", "giant", "leap", "for2", "mankind"}));
    // A new generator per draw over the entries left; the last entry takes none.
    EXPECT_EQ(random.ranges, RangesFrom(12, 1));
    EXPECT_EQ(random.made, 12);
}

TEST_F(ModesTest, LoopedOneCyclesTheTwelveEventsThenTheBeepWithGapsFromEachPlay) {
    random.Append(Draws(11, 0));
    random.Append({11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1});  // then backwards: a short "thats" last
    Start("looped1");
    auto expected = OneStepApart(kWords);
    expected.emplace_back("beep", kBeepAt);
    const auto second = OneStepApart({kWords.rbegin(), kWords.rend()}, kCycle);
    expected.insert(expected.end(), second.begin(), second.end());
    expected.emplace_back("beep", kCycle + 9'380'000);  // a full 1 s after "thats"' Play
    loop.RunUntil(t0 + kCycle + 9'380'000);
    EXPECT_EQ(HeardSoFar(), expected);
    EXPECT_EQ(random.ranges, RangesFrom(11, 2));
}

TEST_F(ModesTest, LoopedTwoDrawsMapToSentenceOrderAndMayRepeatOrStartWithTheBeep) {
    random.Append({13, 1, 1, 7, 12});
    Start("looped2");
    loop.RunUntil(t0 + 3'530'000);
    EXPECT_EQ(HeardSoFar(), (std::vector<Heard>{{"beep", 0},
                                                {"thats", 270'000},
                                                {"thats", 480'000},
                                                {"silence", 690'000},
                                                {"mankind", 3'530'000}}));
    EXPECT_EQ(random.ranges, Ranges(5, {1, 13}));
}

}  // namespace
}  // namespace lark::testing
