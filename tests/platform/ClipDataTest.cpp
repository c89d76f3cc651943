#include "platform/ClipData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lark {
namespace {

class ClipDataTest : public ::testing::Test {
  protected:
    // Distinct 16-bit values, each exact as a float after scaling by 1/32768.
    static std::vector<std::int16_t> Pattern(int length) {
        std::vector<std::int16_t> s;
        for (int i = 0; i < length; ++i) {
            s.push_back(static_cast<std::int16_t>((i * 997) % 60000 - 30000));
        }
        return s;
    }
    static float Decoded(std::int16_t s) { return static_cast<float>(s) / 32768.0f; }
};

TEST_F(ClipDataTest, FlacInMemoryDecodesSampleForSample) {
    const auto pcm = Pattern(4800);
    const auto bytes = EncodeClip(pcm, 48000, 1, ClipFormat::Flac16);
    ASSERT_FALSE(bytes.empty());
    const auto clip = DecodeClip(bytes, 48000);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->sampleRate, 48000);
    ASSERT_EQ(clip->samples.size(), pcm.size());
    for (std::size_t i = 0; i < pcm.size(); ++i) {
        ASSERT_EQ(clip->samples[i], Decoded(pcm[i])) << "sample " << i;
    }
}

TEST_F(ClipDataTest, WavInMemoryDecodesSampleForSample) {
    const auto pcm = Pattern(300);
    const auto clip = DecodeClip(EncodeClip(pcm, 48000, 1, ClipFormat::Wav16), 48000);
    ASSERT_NE(clip, nullptr);
    ASSERT_EQ(clip->samples.size(), pcm.size());
    EXPECT_EQ(clip->samples[0], Decoded(pcm[0]));
    EXPECT_EQ(clip->samples[299], Decoded(pcm[299]));
}

TEST_F(ClipDataTest, StereoIsMixedDownToMono) {
    const std::vector<std::int16_t> pcm = {8192, 0, -16384, 16384, 4096, 4096};
    const auto clip = DecodeClip(EncodeClip(pcm, 48000, 2, ClipFormat::Wav16), 48000);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->samples, (std::vector<float>{0.125f, 0.0f, 0.125f}));
}

TEST_F(ClipDataTest, OtherRateIsConvertedToTheOutputRateByLinearInterpolation) {
    const std::vector<std::int16_t> pcm = {0, 8192, 16384, 8192};
    const auto clip = DecodeClip(EncodeClip(pcm, 24000, 1, ClipFormat::Flac16), 48000);
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->sampleRate, 48000);
    EXPECT_EQ(clip->samples,
              (std::vector<float>{0.0f, 0.125f, 0.25f, 0.375f, 0.5f, 0.375f, 0.25f, 0.25f}));
}

TEST_F(ClipDataTest, BytesThatAreNoSoundFileGiveNothing) {
    const std::vector<std::byte> junk(64, std::byte{0x5a});
    EXPECT_EQ(DecodeClip(junk, 48000), nullptr);
    EXPECT_EQ(DecodeClip({}, 48000), nullptr);
}

}  // namespace
}  // namespace lark
