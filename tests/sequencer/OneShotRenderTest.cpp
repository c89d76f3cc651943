#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <sstream>
#include <vector>

#include "app/MenuBar1.h"
#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/Random.h"
#include "platform/SoundSystem.h"
#include "sequencer/PlayEvent.h"
#include "sounds/SoundBank.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualLoop.h"
#include "window/DonationMessage.h"
#include "window/Window1.h"

namespace lark {
namespace {

using testing::RecordingMessageBoxes;
using testing::VirtualLoop;

// A whole one shot, started from the window, through the real engine into the offline output.
// Every clip is one impulse whose height names it, so the rendered audio alone says which
// clip started on which frame.
class OneShotRenderTest : public ::testing::Test {
  protected:
    static constexpr int kRate = 48000;
    static constexpr int kClipFrames = 400;  // far shorter than the shortest step: no overlaps
    static constexpr int kSteps = 13;

    VirtualLoop loop;
    RecordingMessageBoxes boxes;
    MersenneRandomSource random{0x6f6e6573686f74ULL};
    Runtime runtime{loop.clock(), loop.scheduler(), random, boxes};
    std::ostringstream log;
    OfflineOutput* offline = nullptr;
    std::unique_ptr<SoundSystem> system;
    std::unique_ptr<SoundBank> bank;
    Application application{[] {}};  // after the bank: the window goes first
    Window1* window = nullptr;
    double origin = 0;

    // The impulse height of a clip: k/16 for the k-th resource number, exact in 16 bits.
    static int Marker(int number) { return number - 167; }
    static float Height(int marker) { return static_cast<float>(marker) / 16.0f; }

    void SetUp() override {
        loop.clock().Set(3'000'017);  // an origin that is no whole number of frames
        origin = loop.Now();
        system = SoundSystem::Open(
            loop.clock(),
            [this](Mixer& mixer, std::string&) {
                auto out = std::make_unique<OfflineOutput>(mixer, loop.Now(), kRate);
                offline = out.get();
                return out;
            },
            [](int number) -> std::optional<std::vector<std::byte>> {
                std::vector<std::int16_t> pcm(kClipFrames, 0);
                pcm[0] = static_cast<std::int16_t>(Marker(number) * 2048);
                return EncodeClip(pcm, kRate, 1, ClipFormat::Flac16);
            },
            log);
        bank = std::make_unique<SoundBank>([this] { return &system->resources(); });
        window = &Window1::Instance(application, runtime, *bank, MenuBar1::Instance());
    }

    static std::int64_t Frame(double us) { return std::llround(us * kRate / 1e6); }
    static const SoundBank::Clip* ClipOfMarker(int marker) {
        for (const SoundBank::Clip& c : SoundBank::Clips()) {
            if (Marker(c.number) == marker) {
                return &c;
            }
        }
        return nullptr;
    }
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
    int turns = 0;
    while (loop.Step()) {
        offline->RenderUntil(loop.Now());
        ASSERT_LT(++turns, 100'000) << "the one shot never ended";
    }
    offline->Render(2 * kClipFrames);
    const std::vector<float>& out = offline->Rendered();

    struct Onset {
        std::int64_t frame;
        float height;
    };
    std::vector<Onset> onsets;
    for (std::size_t i = 0; i < out.size(); ++i) {
        if (out[i] != 0.0f) {
            onsets.push_back({static_cast<std::int64_t>(i), out[i]});
        }
    }
    ASSERT_EQ(onsets.size(), static_cast<std::size_t>(kSteps));

    std::set<int> markers;
    double playAt = pressedAt;  // the thread's first turn comes without time passing
    for (std::size_t k = 0; k < onsets.size(); ++k) {
        SCOPED_TRACE("onset " + std::to_string(k));
        const int marker = static_cast<int>(std::lround(onsets[k].height * 16.0f));
        ASSERT_EQ(onsets[k].height, Height(marker)) << "not one of the impulses";
        const SoundBank::Clip* clip = ClipOfMarker(marker);
        ASSERT_NE(clip, nullptr);
        EXPECT_TRUE(markers.insert(marker).second) << clip->name << " sounded twice";

        EXPECT_EQ(onsets[k].frame, Frame(playAt - origin)) << clip->name;
        if (k > 0) {
            const SoundBank::Clip* previous =
                ClipOfMarker(static_cast<int>(std::lround(onsets[k - 1].height * 16.0f)));
            EXPECT_EQ(onsets[k].frame - onsets[k - 1].frame, Frame(StepLengthUs(previous->getter)))
                << previous->name << " then " << clip->name;
        }
        playAt += StepLengthUs(clip->getter);
    }
    EXPECT_EQ(Frame(pressedAt - origin), 1) << "29 us is 1.392 frames";
    EXPECT_EQ(system->engine().mixer().LateStarts(), 0u);
    EXPECT_EQ(system->engine().Dropped(), 0u);

    // The performance then ended by itself, after its final pause, with the message.
    EXPECT_FALSE(window->Find<Thread>("Class21").IsRunning());
    EXPECT_GE(loop.Now(), playAt + 2'000'000);
    ASSERT_EQ(boxes.texts(), (std::vector<std::string>{DonationMessage()}));
    EXPECT_TRUE(window->Find<PushButton>("play").Enabled());
}

}  // namespace
}  // namespace lark
