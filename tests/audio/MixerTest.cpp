#include "audio/Mixer.h"

#include <gtest/gtest.h>

#include <vector>

namespace lark {
namespace {

using Samples = std::vector<float>;

// A ramp 1/1024, 2/1024, ...: every sample says which frame of the clip it is, exactly.
ClipData Ramp(std::size_t length, float scale = 1.0f / 1024) {
    ClipData clip{48000, {}};
    for (std::size_t i = 0; i < length; ++i) {
        clip.samples.push_back(static_cast<float>(i + 1) * scale);
    }
    return clip;
}

class MixerTest : public ::testing::Test {
  protected:
    Mixer mixer;
    std::int64_t next = 0;  // the first frame of the next buffer

    void Play(const ClipData& clip, std::int64_t frame, float gain = 1) {
        ASSERT_TRUE(
            mixer.Submit(PlayCommand{&clip, static_cast<double>(frame) * 1e6 / 48000, gain}));
    }
    Samples Render(std::size_t frames) {
        Samples out(frames, -7.0f);
        mixer.Render(out.data(), frames, next, FrameMap{0, 0, 48000});
        next += static_cast<std::int64_t>(frames);
        return out;
    }
};

// A clip sounding from its frame on across blocks is SoundSystemTest's, and heard whole through
// the stream engine.
TEST_F(MixerTest, OverlappingVoicesAddUpAndOnlyTheSumBeyondFullScaleIsClipped) {
    const ClipData ramp = Ramp(8);
    const ClipData loud{48000, {0.75f, -0.75f, 0.25f}};
    Play(ramp, 0);
    Play(ramp, 3);  // the same clip again while it still sounds
    Play(loud, 20);
    Play(loud, 20);
    Samples expected;  // in 1/1024: the ramp, and the ramp again from frame 3
    for (int k : {1, 2, 3, 5, 7, 9, 11, 13, 6, 7, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0}) {
        expected.push_back(static_cast<float>(k) / 1024);
    }
    expected.insert(expected.end(), {1.0f, -1.0f, 0.5f, 0.0f});
    EXPECT_EQ(Render(24), expected);
}

TEST_F(MixerTest, FullPoolStealsTheVoiceThatStartedFirst) {
    const ClipData oldest = Ramp(100, 1.0f / 64), silent{48000, Samples(100, 0.0f)};
    const ClipData newcomer{48000, Samples(100, 0.5f)};
    Play(oldest, 0);
    for (std::size_t i = 1; i < Mixer::kVoices; ++i) {
        Play(silent, static_cast<std::int64_t>(i));
    }
    Render(40);
    ASSERT_EQ(mixer.SoundingVoices(), static_cast<int>(Mixer::kVoices));
    Play(newcomer, 40);
    EXPECT_EQ(Render(10), Samples(10, 0.5f)) << "the ramp is gone, the newcomer sounds";
    EXPECT_EQ(mixer.Counts().stolen, 1u);
}

// An output that sent frames ahead adds a Play into them, as long as it may still change them;
// a Play whose frame has gone out is late, and starts at the first frame that may still change.
TEST_F(MixerTest, APlayIntoFramesSentAheadLandsOnItsFrameOrAtTheFirstThatMayStillChange) {
    const ClipData held = Ramp(40), late = Ramp(8, 1.0f / 256);
    const FrameMap map{0, 0, 48000};
    Samples sum(64, -7.0f);
    Play(held, 0);
    mixer.Place(0, map);
    EXPECT_EQ(mixer.Mix(sum.data(), 0, 48, 0), 0);
    Play(late, 2);  // frames before 10 have gone to the device: it starts at 10, late
    Play(late, 20);
    mixer.Place(10, map);
    EXPECT_EQ(mixer.Mix(sum.data(), 0, 64, 48), 10) << "the first frame that changed";
    for (std::size_t f = 0; f < sum.size(); ++f) {
        float expected = f < 40 ? held.samples[f] : 0.0f;
        expected += f >= 10 && f < 18 ? late.samples[f - 10] : 0.0f;
        expected += f >= 20 && f < 28 ? late.samples[f - 20] : 0.0f;
        ASSERT_EQ(sum[f], expected) << "frame " << f;
    }
    EXPECT_EQ(mixer.Counts().late, 1u);
}

// An output that sent frames without mixing them left a voice behind: the mix refuses it in a
// debug build, and in a release build skips what it missed instead of writing before its block.
TEST_F(MixerTest, AVoiceLeftBehindNeverWritesOutsideTheBlock) {
    const ClipData clip = Ramp(400);
    const FrameMap map{0, 0, 48000};
    Play(clip, 0);
    mixer.Place(0, map);
    Samples guarded(3 * 64, -7.0f);  // [guard | block | guard]
    float* block = guarded.data() + 64;
    mixer.Mix(block, 0, 64, 0);
    // The next block starts 200 frames on, its first 30 kept as they are: frames 64 to 230 were
    // never mixed.
    const Samples kept(block, block + 30);
    EXPECT_DEBUG_DEATH(mixer.Mix(block, 200, 64, 230), "");
#ifdef NDEBUG
    EXPECT_EQ(Samples(guarded.begin(), guarded.begin() + 64), Samples(64, -7.0f));
    EXPECT_EQ(Samples(block, block + 30), kept) << "the voice added again to what went out";
    EXPECT_EQ(Samples(guarded.end() - 64, guarded.end()), Samples(64, -7.0f));
    EXPECT_EQ(block[30], clip.samples[230]) << "on where the mix starts";
#endif
}

TEST_F(MixerTest, ResetSilencesWhatSoundsAndForgetsWhatWasSent) {
    const ClipData clip = Ramp(100);
    Play(clip, 0);
    Render(10);
    Play(clip, 20);  // sent, not yet taken
    mixer.Reset();
    EXPECT_EQ(mixer.SoundingVoices(), 0);
    EXPECT_EQ(mixer.Counts().discarded, 2u) << "the voice sounding and the Play sent";
    EXPECT_EQ(Render(100), Samples(100, 0.0f));
    Play(clip, next);  // what is sent afterwards plays as ever
    EXPECT_EQ(Render(4),
              (Samples{clip.samples[0], clip.samples[1], clip.samples[2], clip.samples[3]}));
}

}  // namespace
}  // namespace lark
