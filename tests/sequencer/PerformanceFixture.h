#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "app/MenuBar1.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Runtime.h"
#include "sequencer/PlayEvent.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedRandom.h"
#include "support/TestRuntime.h"
#include "support/VirtualLoop.h"
#include "window/DonationMessage.h"
#include "window/Window1.h"

namespace lark::testing {

// The window with its transport and modes over virtual time, scripted draws, recorded
// message boxes and recorded Plays.
class PerformanceTest : public ::testing::Test, protected TestRuntime {
  protected:
    struct Heard {
        std::string clip;
        int volume;
        double atUs;  // since the fixture's start
        bool operator==(const Heard&) const = default;
    };
    // The idle or performing states of the six controls, as one comparable record.
    struct Controls {
        bool play, stop, looped1, oneshot, looped2, arrowsVisible;
        bool operator==(const Controls&) const = default;
    };
    static constexpr Controls kIdle{true, false, true, true, true, false};

    std::shared_ptr<RecordingPlayer> player = std::make_shared<RecordingPlayer>(loop.clock());
    FakeStore store{player};
    SoundBank sounds{[this] { return &store; }};
    std::vector<std::string> uncaught;
    Application application{[] {}};
    Window1& window = Window1::Instance(application, runtime, sounds, MenuBar1::Instance());
    const double t0 = loop.Now();

    void SetUp() override {
        loop.scheduler().SetUncaughtHandler(
            [this](const std::string& job, std::exception_ptr) { uncaught.push_back(job); });
    }

    void Select(const std::string& mode) { window.Find<RadioButton>(mode).SetValue(true); }
    void Click(const std::string& button) { window.Find<PushButton>(button).Push(); }
    // Presses start and lets the thread get the processor.
    void Start(const std::string& mode) {
        Select(mode);
        Click("play");
        loop.RunUntilIdle();
    }
    double Since(double us) const { return loop.Now() - t0 - us; }

    Controls State() const {
        return {window.Find<PushButton>("play").Enabled(),
                window.Find<PushButton>("stop").Enabled(),
                window.Find<RadioButton>("looped1").Enabled(),
                window.Find<RadioButton>("oneshot").Enabled(),
                window.Find<RadioButton>("looped2").Enabled(),
                window.Find<ChasingArrows>("ChasingArrows1").Visible()};
    }
    // A performing state: everything off but stop, the running mode's button and the arrows.
    static Controls Performing(const std::string& mode) {
        return {false, true, mode == "looped1", mode == "oneshot", mode == "looped2", true};
    }
    bool Running(const std::string& thread) const {
        return window.Find<Thread>(thread).IsRunning();
    }

    std::vector<Heard> HeardSoFar() const {
        std::vector<Heard> heard;
        for (const auto& p : player->played) {
            heard.push_back({ClipName(store.NumberOf(p.clip)), p.volume, p.atUs - t0});
        }
        return heard;
    }
    std::vector<std::string> ClipsHeard() const {
        std::vector<std::string> names;
        for (const Heard& h : HeardSoFar()) {
            names.push_back(h.clip);
        }
        return names;
    }
    static std::string ClipName(int number) {
        for (const SoundBank::Clip& c : SoundBank::Clips()) {
            if (c.number == number) {
                return c.name;
            }
        }
        return "?";
    }
    static double Step(const std::string& clip) {
        for (const SoundBank::Clip& c : SoundBank::Clips()) {
            if (clip == c.name) {
                return StepLengthUs(c.getter);
            }
        }
        return -1;
    }
    std::size_t DonationMessages() const {
        std::size_t n = 0;
        for (const auto& text : boxes.texts()) {
            n += text == DonationMessage();
        }
        return n;
    }
};

}  // namespace lark::testing
