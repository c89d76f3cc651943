#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <memory>
#include <set>
#include <sstream>
#include <vector>

#include "app/MenuBar1.h"
#include "audio/SoundSystem.h"
#include "sequencer/DonationMessage.h"
#include "sequencer/PlayEvent.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "window/Window1.h"

namespace lark {
namespace {

// A whole one shot, started from the window, through the real engine into the offline output.
// Every clip is one impulse whose height names it (k/16 for resource 167 + k, exact in 16
// bits), so the rendered audio alone says which clip started on which frame.
class OneShotRenderTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    static constexpr int kClipFrames = 400;  // far shorter than the shortest step: no overlaps

    std::ostringstream log;
    OfflineOutput* offline = nullptr;
    std::shared_ptr<SoundSystem> system;
    std::unique_ptr<SoundBank> bank;
    Application application{[] {}};  // after the bank: the window goes first
    Window1* window = nullptr;
    const double origin = 3'000'017;  // no whole number of frames

    void SetUp() override {
        loop.clock().Set(origin);
        system = SoundSystem::Open(
            loop.clock(),
            [this](Mixer& mixer, std::string&) {
                auto out = std::make_unique<OfflineOutput>(mixer, origin);
                offline = out.get();
                return out;
            },
            [](int number) -> std::optional<std::vector<std::byte>> {
                std::vector<std::int16_t> pcm(kClipFrames, 0);
                pcm[0] = static_cast<std::int16_t>((number - 167) * 2048);
                return EncodeClip(pcm, 48000, 1, ClipFormat::Flac16);
            },
            log);
        bank = std::make_unique<SoundBank>([this] { return system.get(); });
        window = &Window1::Instance(application, runtime, *bank, MenuBar1::Instance());
    }
    static std::int64_t Frame(double us) { return std::llround(us * 48000 / 1e6); }
};

TEST_F(OneShotRenderTest, EveryClipSoundsOnceOnTheFrameOfItsPlay) {
    ASSERT_NE(offline, nullptr);
    ASSERT_FALSE(system->Silent());
    loop.RunFor(29);  // the press, and so the first Play, falls between two frames
    window->Find<RadioButton>("oneshot").SetValue(true);
    const double pressedAt = loop.Now();
    window->Find<PushButton>("play").Push();

    // Render as the performance goes, as the device would: every Play made in a turn lies
    // on or after the frame the rendering has reached.
    for (int turns = 0; loop.Step(); ++turns) {
        offline->RenderUntil(loop.Now());
        ASSERT_LT(turns, 100'000) << "the one shot never ended";
    }
    offline->Render(2 * kClipFrames);
    const std::vector<float>& out = offline->Rendered();

    std::set<int> markers;
    double playAt = pressedAt;  // the thread's first turn comes without time passing
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] == 0.0f) {
            continue;
        }
        const int marker = static_cast<int>(std::lround(out[i] * 16.0f));
        ASSERT_EQ(out[i], static_cast<float>(marker) / 16.0f) << "not one of the impulses";
        ASSERT_TRUE(marker >= 1 && marker <= 13 && markers.insert(marker).second)
            << "marker " << marker << " unknown or twice";
        const SoundBank::Clip& clip = SoundBank::Clips()[marker - 1];
        EXPECT_EQ(static_cast<std::int64_t>(i), Frame(playAt - origin)) << clip.name;
        playAt += EventFor(clip.getter).stepUs;
    }
    EXPECT_EQ(markers.size(), 13u);
    EXPECT_EQ(Frame(pressedAt - origin), 1) << "29 us is 1.392 frames";
    EXPECT_EQ(system->mixer().LateStarts(), 0u);
    EXPECT_EQ(system->Dropped(), 0u);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{DonationMessage()})) << "and it ended";
}

}  // namespace
}  // namespace lark
