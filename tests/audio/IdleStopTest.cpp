#include "audio/IdleStop.h"

#include <gtest/gtest.h>

namespace lark {
namespace {

constexpr std::int64_t kBuffer = 256;
constexpr double kIdleUs = 100'000;  // 4800 frames: 18.75 buffers

// Buffers rendered until the stream ends (0: not within `limit`).
int BuffersUntilEnd(IdleStop& stop, int limit = 100, bool sounding = false) {
    for (int i = 1; i <= limit; ++i) {
        if (!stop.Rendered(kBuffer, sounding)) {
            return i;
        }
    }
    return 0;
}

TEST(IdleStopTest, EndsAfterTheIdleTimeOfSilenceCountedFromTheLastVoiceOrWake) {
    IdleStop stop(kIdleUs);
    EXPECT_EQ(BuffersUntilEnd(stop, 100, true), 0) << "never while a voice sounds";
    EXPECT_EQ(BuffersUntilEnd(stop), 19);
    EXPECT_TRUE(stop.Wake()) << "ended: the stream must start again";
    EXPECT_FALSE(stop.Wake()) << "running";
    EXPECT_EQ(BuffersUntilEnd(stop, 10), 0);
    EXPECT_FALSE(stop.Wake());
    // A Play ten buffers into the silence: it may reach the mixer only after the buffer that
    // saw its Wake, so that buffer does not count as silence either.
    EXPECT_EQ(BuffersUntilEnd(stop), 20);
    stop.Wake();
    stop.Stopped();
    EXPECT_TRUE(stop.Wake()) << "a failed start is tried again at the next Play";

    IdleStop measuring(kIdleUs);
    EXPECT_FALSE(measuring.EndIfNeverWoken()) << "a run that only measured the stream ends";
    EXPECT_TRUE(measuring.Wake());
    EXPECT_TRUE(measuring.EndIfNeverWoken()) << "once woken, only silence ends it";
}

// A Play sent just as the audio thread decides to end: the stream goes on for it.
TEST(IdleStopTest, AWakeBetweenTheReadAndTheDecisionKeepsTheStreamRunning) {
    IdleStop stop(1e6 * static_cast<double>(kBuffer) / kOutputRateHz);  // one buffer
    const std::uint64_t seen = stop.Wakes();
    EXPECT_FALSE(stop.Wake());
    EXPECT_TRUE(stop.Rendered(kBuffer, false, seen)) << "ended past a Wake it had not seen";
    EXPECT_TRUE(stop.Rendered(kBuffer, false)) << "the buffer that sees it does not count";
    EXPECT_FALSE(stop.Rendered(kBuffer, false)) << "then a buffer of silence";
}

}  // namespace
}  // namespace lark
