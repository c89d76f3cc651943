#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <map>
#include <sstream>
#include <vector>

#include "platform/SoundSystem.h"
#include "sequencer/PlayEvent.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedRandom.h"
#include "support/TestRuntime.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

using testing::RecordingMessageBoxes;
using testing::ScriptedRandomSource;
using testing::VirtualLoop;

// A chain of steps in virtual time, through the real engine into the offline output: every
// clip must start on the very frame its Play time maps to.
class PlayEventRenderTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    static constexpr int kClipFrames = 2000;  // shorter than every step: no overlaps

    std::ostringstream log;
    OfflineOutput* offline = nullptr;
    std::map<int, std::vector<std::int16_t>> pcm;
    std::unique_ptr<SoundSystem> system;
    std::unique_ptr<SoundBank> bank;
    std::vector<double> starts;

    void SetUp() override {
        loop.clock().Set(3'000'017);  // an origin that is no whole number of frames
        for (int number = 168; number <= 180; ++number) {
            std::vector<std::int16_t>& s = pcm[number];
            for (int i = 0; i < kClipFrames; ++i) {
                s.push_back(static_cast<std::int16_t>(number * 64 + (i % 50) + 1));
            }
        }
        system = SoundSystem::Open(
            loop.clock(),
            [this](Mixer& mixer, std::string&) {
                auto out = std::make_unique<OfflineOutput>(mixer, loop.Now());
                offline = out.get();
                return out;
            },
            [this](int number) -> std::optional<std::vector<std::byte>> {
                return EncodeClip(pcm.at(number), 48000, 1, ClipFormat::Flac16);
            },
            log);
        bank = std::make_unique<SoundBank>([this] { return &system->resources(); });
    }

    Task<> Chain(std::vector<EventGetter> events) {
        for (EventGetter e : events) {
            starts.push_back(co_await PlayEvent(runtime, *bank, e));
            // Render as the performance goes, as the device would.
            offline->RenderUntil(runtime.Microseconds());
        }
    }
};

TEST_F(PlayEventRenderTest, ClipOnsetsLandExactlyWhereThePlayTimesSay) {
    const double t0 = loop.Now();
    const std::vector<EventGetter> events = {&SoundBank::thats, &SoundBank::one1, &SoundBank::beep,
                                             &SoundBank::beep, &SoundBank::for2};
    loop.RunFor(13);  // the first Play falls between two frames
    loop.scheduler().Start("performance", Chain(events));
    loop.RunToCompletion();
    offline->Render(kClipFrames);
    const std::vector<float>& out = offline->Rendered();

    ASSERT_EQ(starts.size(), events.size());
    for (std::size_t k = 0; k < events.size(); ++k) {
        const auto frame = static_cast<std::size_t>(std::llround((starts[k] - t0) * 48000 / 1e6));
        const std::vector<std::int16_t>& clip = pcm.at(SoundBank::Find(events[k])->number);
        ASSERT_LT(frame + kClipFrames, out.size());
        EXPECT_EQ(out[frame - 1], 0.0f) << "event " << k;
        for (int i = 0; i < kClipFrames; ++i) {
            ASSERT_EQ(out[frame + i], static_cast<float>(clip[i]) / 32768.0f)
                << "event " << k << " frame " << frame + i;
        }
        EXPECT_EQ(out[frame + kClipFrames], 0.0f) << "event " << k;
    }
    EXPECT_EQ(std::llround((starts[0] - t0) * 48000 / 1e6), 1);  // 13 us is 0.624 frames
    EXPECT_EQ(system->engine().mixer().LateStarts(), 0u);
}

}  // namespace
}  // namespace lark
