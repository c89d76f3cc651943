#include "audio/ClipData.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace lark {
namespace {

std::vector<float> Decoded(const std::vector<std::int16_t>& pcm, int rate, int channels,
                           ClipFormat format) {
    const auto clip = DecodeClip(EncodeClip(pcm, rate, channels, format), 48000);
    EXPECT_NE(clip, nullptr);
    EXPECT_EQ(clip ? clip->sampleRate : 0, 48000);
    return clip ? clip->samples : std::vector<float>{};
}

TEST(ClipDataTest, EitherFormatDecodesSampleForSample) {
    // Distinct 16-bit values, each exact as a float after scaling by 1/32768.
    std::vector<std::int16_t> pcm;
    std::vector<float> expected;
    for (int i = 0; i < 4800; ++i) {
        pcm.push_back(static_cast<std::int16_t>((i * 997) % 60000 - 30000));
        expected.push_back(static_cast<float>(pcm.back()) / 32768.0f);
    }
    for (ClipFormat format : {ClipFormat::Flac16, ClipFormat::Wav16}) {
        SCOPED_TRACE(format == ClipFormat::Flac16 ? "flac" : "wav");
        EXPECT_EQ(Decoded(pcm, 48000, 1, format), expected);
    }
}

TEST(ClipDataTest, StereoIsMixedDownAndOtherRatesAreInterpolatedToTheOutputRate) {
    EXPECT_EQ(Decoded({8192, 0, -16384, 16384, 4096, 4096}, 48000, 2, ClipFormat::Wav16),
              (std::vector<float>{0.125f, 0.0f, 0.125f}));
    EXPECT_EQ(Decoded({0, 8192, 16384, 8192}, 24000, 1, ClipFormat::Flac16),
              (std::vector<float>{0.0f, 0.125f, 0.25f, 0.375f, 0.5f, 0.375f, 0.25f, 0.25f}));
}

}  // namespace
}  // namespace lark
