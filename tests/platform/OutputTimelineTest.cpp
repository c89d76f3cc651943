#include "platform/OutputTimeline.h"

#include <gtest/gtest.h>

namespace lark {
namespace {

// A device that calls back every 256 frames, its buffers heard a fixed time after the call.
class OutputTimelineTest : public ::testing::Test {
  protected:
    static constexpr unsigned long kFrames = 256;
    static constexpr double kBufferUs = kFrames * 1e6 / 48000;

    OutputTimeline timeline;
    double nowUs = 5'000'000;
    std::int64_t framesDone = 0;

    FrameMap Callback(double aheadUs, bool underflow = false, double jitterUs = 0) {
        const FrameMap map =
            timeline.Update(nowUs + jitterUs, aheadUs, framesDone, kFrames, underflow);
        nowUs += kBufferUs;
        framesDone += kFrames;
        return map;
    }
    void Calibrate(double aheadUs) {
        for (int i = 0; i < 48; ++i) {
            Callback(aheadUs);
        }
    }
};

TEST_F(OutputTimelineTest, APlaySoundsOneConstantLatencyAfterItsStamp) {
    Calibrate(30'000);
    const FrameMap map = Callback(30'000);
    const double latency = timeline.LatencyUs();
    // The frame a Play lands on is heard `latency` after its stamp, to within half a frame.
    const double heardUs0 = nowUs - kBufferUs + 30'000;  // this buffer's first frame
    const std::int64_t frame0 = framesDone - static_cast<std::int64_t>(kFrames);
    for (double stamp : {nowUs, nowUs + 1234.5, nowUs + 20'000.0}) {
        const std::int64_t f = map.FrameAt(stamp);
        const double heardUs = heardUs0 + static_cast<double>(f - frame0) * 1e6 / 48000;
        EXPECT_NEAR(heardUs, stamp + latency, 1e6 / 48000 / 2) << stamp;
    }
}

TEST_F(OutputTimelineTest, LatencyCoversTheWorstCalibrationReportThenIsHeld) {
    Callback(30'000);
    Callback(42'000);
    for (int i = 0; i < 46; ++i) {
        Callback(30'000);
    }
    const double held = timeline.LatencyUs();
    EXPECT_NEAR(held, 42'000 + kBufferUs + kBufferUs + 2000, 0.01);  // ahead, gap, buffer, margin
    Callback(80'000);
    EXPECT_DOUBLE_EQ(timeline.LatencyUs(), held);
}

TEST_F(OutputTimelineTest, ASingleOddReportMovesNothing) {
    Calibrate(30'000);
    const FrameMap before = Callback(30'000);
    const FrameMap odd = Callback(30'000 - 11'000);  // one report 11 ms off
    const FrameMap after = Callback(30'000);
    EXPECT_EQ(odd.originFrame, before.originFrame);
    EXPECT_DOUBLE_EQ(odd.originUs, before.originUs);
    EXPECT_DOUBLE_EQ(after.originUs, before.originUs);
    EXPECT_EQ(timeline.Reanchors(), 0u);
}

TEST_F(OutputTimelineTest, AShiftThatLastsReanchorsAfterSixteenCallbacks) {
    Calibrate(30'000);
    const FrameMap before = Callback(30'000);
    for (int i = 0; i < 15; ++i) {
        EXPECT_DOUBLE_EQ(Callback(45'000).originUs, before.originUs) << i;
    }
    const FrameMap moved = Callback(45'000);
    EXPECT_EQ(timeline.Reanchors(), 1u);
    // Heard 15 ms later than the old timeline said: frame for frame, the map moves with it.
    const std::int64_t f = framesDone - static_cast<std::int64_t>(kFrames);
    const double oldHeard = before.originUs + (f - before.originFrame) * 1e6 / 48000;
    const double newHeard = moved.originUs + (f - moved.originFrame) * 1e6 / 48000;
    EXPECT_NEAR(newHeard - oldHeard, 15'000, 1);
}

TEST_F(OutputTimelineTest, AnUnderflowReanchorsAtOnce) {
    Calibrate(30'000);
    Callback(30'000);
    nowUs += 50'000;  // the device stalled
    Callback(30'000, true);
    EXPECT_EQ(timeline.Reanchors(), 1u);
}

}  // namespace
}  // namespace lark
