#pragma once

#include <gtest/gtest.h>

#include <QEvent>
#include <QObject>
#include <QWidget>
#include <algorithm>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "app/App.h"
#include "app/Startup.h"
#include "sequencer/DonationMessage.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/TestRuntime.h"
#include "ui/Controls.h"
#include "window/Window1.h"

namespace lark::testing {

using Draws = std::vector<std::int32_t>;
using Names = std::vector<std::string>;

// Every change of a control's Enabled or Visible state, in order, as its widget saw it.
class ControlChanges final : public QObject {
  public:
    explicit ControlChanges(const Window& window) {
        for (const char* name :
             {"play", "stop", "looped1", "oneshot", "looped2", "ChasingArrows1"}) {
            window.Find<RectControl>(name).Widget().installEventFilter(this);
        }
    }
    std::vector<std::string> Take() { return std::exchange(changes_, {}); }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const std::string name = watched->objectName().toStdString();
        if (event->type() == QEvent::EnabledChange) {
            changes_.push_back(name +
                               (static_cast<QWidget*>(watched)->isEnabled() ? " on" : " off"));
        } else if (event->type() == QEvent::ShowToParent) {
            changes_.push_back(name + " shown");
        } else if (event->type() == QEvent::HideToParent) {
            changes_.push_back(name + " hidden");
        }
        return false;
    }

  private:
    std::vector<std::string> changes_;
};

// The started-up application and its window, in virtual time, with scripted draws, recorded
// message boxes and recorded Plays.
class PerformanceTest : public ::testing::Test, protected TestRuntime {
  protected:
    using Heard = std::pair<std::string, double>;  // a clip and its Play, since the start
    struct Controls {
        bool play, stop, looped1, oneshot, looped2, arrowsVisible;
        bool operator==(const Controls&) const = default;
    };
    static constexpr Controls kIdle{true, false, true, true, true, false};
    // Ended by itself: stop stays enabled, so pressing it shows the message once more.
    static constexpr Controls kOneShotEnded{true, true, true, true, true, false};
    static inline const Names kModes = {"looped2", "oneshot", "looped1"};
    static inline const Names kSentence = {"thats", "one1",    "small", "step1", "for1",
                                           "man",   "silence", "one2",  "giant", "leap",
                                           "for2",  "mankind", "beep"};

    // The hold after each clip's Play, the same in every mode.
    static inline const std::map<std::string, double> kStepMs = {
        {"thats", 210}, {"one1", 580},     {"small", 440}, {"step1", 420}, {"for1", 210},
        {"man", 600},   {"silence", 2840}, {"one2", 1100}, {"giant", 410}, {"leap", 330},
        {"for2", 190},  {"mankind", 1260}, {"beep", 270}};

    std::shared_ptr<RecordingPlayer> player = std::make_shared<RecordingPlayer>(loop.clock());
    FakeStore store{player};
    SoundBank sounds{[this] { return &store; }};
    int quits = 0;
    Startup startup{runtime, sounds, [this] { ++quits; }};
    Window1& window = Open(startup);
    const double t0 = loop.Now();
    std::vector<std::string> uncaught;

    // The start-up steps up to the event loop: the App with its About handler, the window.
    static Window1& Open(Startup& startup) {
        startup._NewAppInstance();
        startup._ApplicationAddMenuHandlers();
        startup._MakeDefaultView();
        return *startup.DefaultWindow();
    }
    void SetUp() override {
        loop.scheduler().SetUncaughtHandler(
            [this](const std::string& job, std::exception_ptr) { uncaught.push_back(job); });
    }
    void TearDown() override { EXPECT_TRUE(uncaught.empty()) << uncaught.front(); }

    bool Enabled(const std::string& name) const { return window.Find<RectControl>(name).Enabled(); }
    void Select(const std::string& mode) { window.Find<RadioButton>(mode).SetValue(true); }
    void Click(const std::string& button) { window.Find<PushButton>(button).Push(); }
    // Presses start and lets the thread get the processor.
    void Start(const std::string& mode) {
        Select(mode);
        Click("play");
        loop.RunUntilIdle();
    }
    static std::string ThreadOf(const std::string& mode) {
        return mode == "looped2" ? "Class11" : mode == "oneshot" ? "Class21" : "Class31";
    }
    bool Running(const std::string& thread) const {
        return window.Find<Thread>(thread).IsRunning();
    }
    Controls State() const {
        return {Enabled("play"),    Enabled("stop"),
                Enabled("looped1"), Enabled("oneshot"),
                Enabled("looped2"), window.Find<ChasingArrows>("ChasingArrows1").Visible()};
    }
    // Everything off but stop, the running mode's button and the arrows.
    static Controls Performing(const std::string& mode) {
        return {false, true, mode == "looped1", mode == "oneshot", mode == "looped2", true};
    }

    std::vector<Heard> HeardSoFar() const {
        std::vector<Heard> heard;
        for (const auto& p : player->played) {  // Clips() is in resource number order
            heard.emplace_back(SoundBank::Clips()[store.NumberOf(p.clip) - 168].name, p.atUs - t0);
        }
        return heard;
    }
    Names ClipsHeard() const {
        Names names;
        for (const Heard& h : HeardSoFar()) {
            names.push_back(h.first);
        }
        return names;
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
        const auto texts = boxes.texts();
        return std::count(texts.begin(), texts.end(), DonationMessage());
    }
};

}  // namespace lark::testing
