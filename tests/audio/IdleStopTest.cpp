#include "audio/IdleStop.h"

#include <gtest/gtest.h>

namespace lark {
namespace {

constexpr std::int64_t kBuffer = 256;
constexpr double kIdleUs = 100'000;  // 4800 frames: 18.75 buffers

// Buffers rendered until the stream ends (0: not within `limit`).
int BuffersUntilEnd(IdleStop& stop, int limit = 100, bool sounding = false) {
    for (int i = 1; i <= limit; ++i) {
        if (stop.EndsNow(kBuffer, sounding)) {
            return i;
        }
    }
    return 0;
}

TEST(IdleStopTest, EndsAfterTheIdleTimeOfSilenceCountedFromTheLastVoiceOrWake) {
    IdleStop stop(true, kIdleUs);
    EXPECT_EQ(BuffersUntilEnd(stop, 100, true), 0) << "never while a voice sounds";
    EXPECT_EQ(BuffersUntilEnd(stop), 19);
    EXPECT_TRUE(stop.WakeNeedsStart()) << "ended: the stream must start again";
    EXPECT_FALSE(stop.WakeNeedsStart()) << "running";
    EXPECT_EQ(BuffersUntilEnd(stop, 10), 0);
    EXPECT_FALSE(stop.WakeNeedsStart());
    // A Play ten buffers into the silence: it may reach the mixer only after the buffer that
    // saw its Wake, so that buffer does not count as silence either.
    EXPECT_EQ(BuffersUntilEnd(stop), 20);
    stop.WakeNeedsStart();
    stop.Stopped();
    EXPECT_TRUE(stop.WakeNeedsStart()) << "a failed start is tried again at the next Play";

    IdleStop measuring(true, kIdleUs);
    EXPECT_TRUE(measuring.EndsNowIfNeverWoken()) << "a run that only measured the stream ends";
    EXPECT_TRUE(measuring.WakeNeedsStart());
    EXPECT_FALSE(measuring.EndsNowIfNeverWoken()) << "once woken, only silence ends it";

    IdleStop notStarted(false, kIdleUs);
    EXPECT_TRUE(notStarted.WakeNeedsStart()) << "an output that starts with no stream";
}

// A Play sent just as the audio thread decides to end: the stream goes on for it.
TEST(IdleStopTest, AWakeBetweenTheReadAndTheDecisionKeepsTheStreamRunning) {
    IdleStop stop(true, 1e6 * static_cast<double>(kBuffer) / kOutputRateHz);  // one buffer
    const std::uint64_t seen = stop.Wakes();
    EXPECT_FALSE(stop.WakeNeedsStart());
    EXPECT_FALSE(stop.EndsNow(kBuffer, false, seen)) << "ended past a Wake it had not seen";
    EXPECT_FALSE(stop.EndsNow(kBuffer, false)) << "the buffer that sees it does not count";
    EXPECT_TRUE(stop.EndsNow(kBuffer, false)) << "then a buffer of silence";
}

}  // namespace
}  // namespace lark
