// A performance rendered in virtual time, over clips that each hold a constant of their own, so
// the mix shows which clip sounds on which frame.
#include "render/RenderPerformance.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "support/FakeSounds.h"

namespace lark {
namespace {

struct Rendered {
    RenderedPerformance performance;
    std::vector<float> mix;
};

Rendered Render(std::string_view mode, double stopAfterUs, std::size_t clipFrames) {
    Rendered rendered;
    rendered.performance =
        RenderPerformance({FindRenderMode(mode), 3, stopAfterUs},
                          testing::ConstantClips(clipFrames), [&](std::span<const float> frames) {
                              rendered.mix.insert(rendered.mix.end(), frames.begin(), frames.end());
                          });
    return rendered;
}

std::size_t FrameOf(double us) {
    return static_cast<std::size_t>(us * kOutputRateHz / 1e6);
}
// Each Play's clip on the frame of its stamp, up to the later of the stop and the end of the last
// clip; where two overlap, their sum is past full scale.
std::vector<float> MixOf(const RenderedPerformance& performance, std::size_t clipFrames,
                         double stopUs) {
    const double lastUs = performance.plays.back().atUs - performance.originUs;
    std::vector<float> mix(std::max(FrameOf(stopUs), FrameOf(lastUs) + clipFrames));
    for (const SoundSystem::StampedPlay& play : performance.plays) {
        const auto first = mix.begin() + FrameOf(play.atUs - performance.originUs);
        std::for_each(first, first + clipFrames,
                      [&](float& frame) { frame += testing::ConstantOf(play.number); });
    }
    std::for_each(mix.begin(), mix.end(), [](float& frame) { frame = std::min(frame, 1.0f); });
    return mix;
}

// Its steps' order and timing are the live performance's (SeedTest): here, what is heard of them.
TEST(RenderPerformanceTest, OneShotSoundsEveryClipAtItsStampThenItsPause) {
    const Rendered r = Render("one-shot", 0, 100);
    EXPECT_EQ(r.performance.plays.size(), 13u);
    EXPECT_EQ(r.mix, MixOf(r.performance, 100, 8'860'000 + 2'000'000))
        << "the thirteen steps, then the pause";
    EXPECT_EQ(r.performance.frames, static_cast<std::int64_t>(r.mix.size()));
}

// Clips of 1.5 s outlast most steps. With this seed, at 17 s a clip sounds on past the stop in
// both modes; at 6 s none does.
TEST(RenderPerformanceTest, ALoopedModeStoppedAtItsTimeStartsNothingMoreAndLetsItsClipsPlayOut) {
    constexpr std::size_t kClipFrames = 72'000;
    for (const char* mode : {"looped-1", "looped-2"}) {
        const Rendered longer = Render(mode, 40'000'000, kClipFrames);
        EXPECT_EQ(longer.mix, MixOf(longer.performance, kClipFrames, 40'000'000));
        for (const double stopUs : {6'000'000.0, 17'000'000.0}) {
            SCOPED_TRACE(std::string(mode) + " stopped at " + std::to_string(stopUs));
            const Rendered r = Render(mode, stopUs, kClipFrames);
            std::size_t before = 0;  // of the longer performance, the Plays before the stop
            while (longer.performance.plays[before].atUs < r.performance.originUs + stopUs) {
                const auto& play = longer.performance.plays[before];
                ASSERT_LT(before, r.performance.plays.size());
                EXPECT_EQ(r.performance.plays[before].number, play.number);
                EXPECT_EQ(r.performance.plays[before].atUs, play.atUs);
                ++before;
            }
            EXPECT_EQ(r.performance.plays.size(), before) << "a Play at or after the stop";
            EXPECT_EQ(r.mix, MixOf(r.performance, kClipFrames, stopUs)) << "played out, no more";
            EXPECT_EQ(Render(mode, stopUs, kClipFrames).mix, r.mix) << "the same, bit for bit";
        }
    }
}

}  // namespace
}  // namespace lark
