#include "platform/Mixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace lark {
namespace {

// A ramp 1/1024, 2/1024, ...: every sample says which frame of the clip it is, exactly.
std::shared_ptr<ClipData> Ramp(std::size_t length, float scale = 1.0f / 1024) {
    auto clip = std::make_shared<ClipData>();
    clip->sampleRate = 48000;
    for (std::size_t i = 0; i < length; ++i) {
        clip->samples.push_back(static_cast<float>(i + 1) * scale);
    }
    return clip;
}

class MixerTest : public ::testing::Test {
  protected:
    Mixer mixer;
    const FrameMap map{0, 0, 48000};
    std::int64_t next = 0;  // the first frame of the next buffer

    static double AtFrame(std::int64_t frame) { return static_cast<double>(frame) * 1e6 / 48000; }

    void Play(const ClipData& clip, std::int64_t frame, float gain = 1) {
        ASSERT_TRUE(mixer.Submit(PlayCommand{&clip, AtFrame(frame), gain}));
    }
    std::vector<float> Render(std::size_t frames) {
        std::vector<float> out(frames, -7.0f);
        mixer.Render(out.data(), frames, next, map);
        next += static_cast<std::int64_t>(frames);
        return out;
    }
};

TEST_F(MixerTest, OnsetLandsOnItsFrameInsideTheBuffer) {
    auto clip = Ramp(8);
    Play(*clip, 100);
    const auto first = Render(64);   // frames 0..63: nothing yet
    const auto second = Render(64);  // frames 64..127: the clip from frame 100 on
    for (float s : first) {
        EXPECT_EQ(s, 0.0f);
    }
    for (std::size_t i = 0; i < 64; ++i) {
        const std::int64_t frame = 64 + static_cast<std::int64_t>(i);
        const float expected = (frame >= 100 && frame < 108) ? clip->samples[frame - 100] : 0.0f;
        EXPECT_EQ(second[i], expected) << "frame " << frame;
    }
}

TEST_F(MixerTest, ClipRunsOnAcrossBufferBoundariesAndEnds) {
    auto clip = Ramp(10);
    Play(*clip, 5);
    const auto a = Render(8);
    const auto b = Render(8);
    EXPECT_EQ(a[4], 0.0f);
    EXPECT_EQ(a[5], clip->samples[0]);
    EXPECT_EQ(a[7], clip->samples[2]);
    EXPECT_EQ(b[0], clip->samples[3]);
    EXPECT_EQ(b[6], clip->samples[9]);
    EXPECT_EQ(b[7], 0.0f);
    EXPECT_EQ(mixer.SoundingVoices(), 0);
}

TEST_F(MixerTest, UnityGainLeavesEveryDecodedSampleUntouched) {
    auto clip = std::make_shared<ClipData>();
    for (int i = 0; i < 256; ++i) {
        clip->samples.push_back(static_cast<float>((i * 37) % 200 - 100) / 101.0f);
    }
    Play(*clip, 0);
    const auto out = Render(256);
    for (std::size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(out[i], clip->samples[i]) << "frame " << i;
    }
}

TEST_F(MixerTest, GainScalesTheClip) {
    auto clip = Ramp(4, 0.5f);
    Play(*clip, 0, 0.25f);
    const auto out = Render(4);
    EXPECT_EQ(out[0], 0.125f);
    EXPECT_EQ(out[1], 0.25f);
    EXPECT_EQ(out[3], 0.5f);
}

TEST_F(MixerTest, SameClipPlayedAgainOverlapsItself) {
    auto clip = Ramp(8);
    Play(*clip, 0);
    Play(*clip, 3);
    const auto out = Render(12);
    EXPECT_EQ(out[2], clip->samples[2]);
    EXPECT_EQ(out[3], clip->samples[3] + clip->samples[0]);
    EXPECT_EQ(out[7], clip->samples[7] + clip->samples[4]);
    EXPECT_EQ(out[8], clip->samples[5]);
    EXPECT_EQ(out[10], clip->samples[7]);
    EXPECT_EQ(out[11], 0.0f);
}

TEST_F(MixerTest, LoudOverlapIsClippedToFullScale) {
    auto loud = std::make_shared<ClipData>();
    loud->samples = {0.75f, -0.75f, 0.25f};
    Play(*loud, 0);
    Play(*loud, 0);
    const auto out = Render(3);
    EXPECT_EQ(out[0], 1.0f);
    EXPECT_EQ(out[1], -1.0f);
    EXPECT_EQ(out[2], 0.5f);
}

TEST_F(MixerTest, FullPoolStealsTheVoiceThatStartedFirst) {
    auto oldest = Ramp(100, 1.0f / 64);
    auto others = std::make_shared<ClipData>();
    others->samples.assign(100, 0.0f);
    Play(*oldest, 0);
    for (std::size_t i = 1; i < Mixer::kVoices; ++i) {
        Play(*others, static_cast<std::int64_t>(i));
    }
    Render(40);
    ASSERT_EQ(mixer.SoundingVoices(), static_cast<int>(Mixer::kVoices));
    auto newcomer = std::make_shared<ClipData>();
    newcomer->samples.assign(100, 0.5f);
    Play(*newcomer, 40);
    const auto out = Render(10);
    EXPECT_EQ(mixer.StolenVoices(), 1u);
    for (float s : out) {
        EXPECT_EQ(s, 0.5f);  // the ramp is gone, the newcomer sounds
    }
}

TEST_F(MixerTest, LateCommandStartsWholeAtTheNextBuffer) {
    auto clip = Ramp(4);
    Render(64);
    Play(*clip, 10);  // frame 10 has gone out already
    const auto out = Render(8);
    EXPECT_EQ(out[0], clip->samples[0]);
    EXPECT_EQ(out[3], clip->samples[3]);
    EXPECT_EQ(mixer.LateStarts(), 1u);
}

TEST_F(MixerTest, FullQueueRefusesWithoutBlocking) {
    auto clip = Ramp(1);
    std::size_t accepted = 0;
    for (std::size_t i = 0; i < Mixer::kQueueCapacity + 10; ++i) {
        accepted += mixer.Submit(PlayCommand{clip.get(), 0, 1}) ? 1 : 0;
    }
    EXPECT_EQ(accepted, Mixer::kQueueCapacity - 1);
}

TEST_F(MixerTest, FrameMapRoundsToTheNearestFrame) {
    const FrameMap m{1'000'000, 0, 48000};
    EXPECT_EQ(m.FrameAt(1'000'000), 0);
    EXPECT_EQ(m.FrameAt(1'000'010), 0);  // 0.48 frame
    EXPECT_EQ(m.FrameAt(1'000'011), 1);  // 0.528 frame
    EXPECT_EQ(m.FrameAt(1'500'000), 24000);
    const FrameMap shifted{0, 1000, 48000};
    EXPECT_EQ(shifted.FrameAt(-1e6 / 48), 0);
}

}  // namespace
}  // namespace lark
