#include "audio/OutputTimeline.h"

#include <gtest/gtest.h>

namespace lark {
namespace {

// A device that calls back every 256 frames, its buffers heard a fixed time after the call.
class OutputTimelineTest : public ::testing::Test {
  protected:
    static constexpr unsigned long kFrames = 256;
    static constexpr double kFrameUs = 1e6 / 48000;
    static constexpr double kBufferUs = kFrames * kFrameUs;

    OutputTimeline timeline;
    double nowUs = 5'000'000;
    std::int64_t framesDone = 0;

    // `times` callbacks alike; the map of the last.
    FrameMap Callback(double aheadUs, int times = 1, bool underflow = false) {
        FrameMap map;
        for (int i = 0; i < times; ++i) {
            map = timeline.Update(nowUs, aheadUs, framesDone, kFrames, underflow);
            nowUs += kBufferUs;
            framesDone += kFrames;
        }
        return map;
    }
};

TEST_F(OutputTimelineTest, APlaySoundsAtItsStampPlusALatencyHeldFromTheWorstCalibration) {
    Callback(30'000);
    Callback(42'000);
    Callback(30'000, 46);
    const double latency = timeline.LatencyUs();
    // Past the worst report, and the wait for the next callback with it.
    EXPECT_GT(latency, 42'000 + kBufferUs);
    Callback(80'000);
    EXPECT_DOUBLE_EQ(timeline.LatencyUs(), latency);

    const FrameMap map = Callback(30'000);
    const double heardUs0 = nowUs - kBufferUs + 30'000;  // this buffer's first frame
    const std::int64_t frame0 = framesDone - static_cast<std::int64_t>(kFrames);
    for (double stamp : {nowUs, nowUs + 1234.5, nowUs + 20'000.0}) {
        const double heardUs =
            heardUs0 + static_cast<double>(map.FrameAt(stamp) - frame0) * kFrameUs;
        EXPECT_NEAR(heardUs, stamp + latency, kFrameUs / 2) << stamp;
    }
}

TEST_F(OutputTimelineTest, AnOddReportMovesNothingButALastingShiftOrAnUnderflowReanchors) {
    const FrameMap before = Callback(30'000, 49);
    // The latency allows a Play to wait two buffers and the margin (its sender woken late) for
    // the callback that places it: made that long before the last one, it still lands on a frame
    // that callback had not rendered yet.
    EXPECT_GE(before.FrameAt(nowUs - 3 * kBufferUs - 1'300), framesDone - kFrames);
    EXPECT_DOUBLE_EQ(Callback(30'000 - 11'000).originUs, before.originUs) << "one report off";
    Callback(30'000);  // back on the timeline: the count of departures starts afresh
    for (int i = 0; i < 15; ++i) {
        EXPECT_DOUBLE_EQ(Callback(45'000).originUs, before.originUs) << i;
    }
    EXPECT_EQ(timeline.Reanchors(), 0u);
    const FrameMap moved = Callback(45'000);
    EXPECT_EQ(timeline.Reanchors(), 1u);
    // Heard 15 ms later than the old timeline said: frame for frame, the map moves with it.
    EXPECT_NEAR(moved.originUs - before.originUs -
                    static_cast<double>(moved.originFrame - before.originFrame) * kFrameUs,
                15'000, 1);

    nowUs += 50'000;  // the device stalled
    Callback(45'000, 1, true);
    EXPECT_EQ(timeline.Reanchors(), 2u);
}

TEST_F(OutputTimelineTest, EachRunAnchorsAfreshWithTheLatencyMeasuredOnce) {
    Callback(30'000, 48);
    const double latency = timeline.LatencyUs();
    timeline.Restart();
    nowUs += 7'777'777;  // stopped for a while; frames count from 0 again
    framesDone = 0;
    const double startUs = nowUs;
    const FrameMap map = Callback(4'000);
    EXPECT_DOUBLE_EQ(timeline.LatencyUs(), latency) << "a run that reports less keeps it";
    EXPECT_EQ(map.FrameAt(startUs + 4'000 - latency), 0) << "frame 0 heard at its report";
    EXPECT_EQ(timeline.Reanchors(), 0u) << "a new run is no re-anchor";
}

TEST_F(OutputTimelineTest, PlaysThatWaitedForTheMeasurementSoundAtOnceAndKeepTheirSpacing) {
    for (int i = 0; i < 47; ++i) {
        Callback(30'000);
    }
    const double stampUs = nowUs - 100'000;  // clicked during the measurement
    const std::int64_t frame = framesDone;
    const FrameMap map = timeline.Update(nowUs, 30'000, framesDone, kFrames, false, stampUs);
    ASSERT_TRUE(timeline.Calibrated());
    const std::int64_t onset = map.FrameAt(stampUs);
    EXPECT_GE(onset, frame) << "not placed late, so its spacing to the next holds";
    EXPECT_LT(onset, frame + static_cast<std::int64_t>(kFrames)) << "in this very buffer";
    EXPECT_EQ(map.FrameAt(stampUs + 210'000) - onset, 10'080);
    const double measured = 30'000 + 2 * kBufferUs + 2000;
    EXPECT_NEAR(timeline.LatencyUs(), 100'000 + 30'000 + 2000, 1);

    nowUs += kBufferUs;
    framesDone += kFrames;
    Callback(30'000);
    timeline.Update(nowUs, 30'000, framesDone, kFrames, false, nowUs - 300'000);
    EXPECT_NEAR(timeline.LatencyUs(), 100'000 + 30'000 + 2000, 1) << "the run keeps it";
    timeline.Restart();
    EXPECT_NEAR(timeline.LatencyUs(), measured, 1) << "the next run has the measured one";
}

}  // namespace
}  // namespace lark
