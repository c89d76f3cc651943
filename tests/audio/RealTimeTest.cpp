// The audio thread's promises as tests: plays sent from one thread while another renders (run
// under ThreadSanitizer too), and no allocation or free on the render thread. The stream
// engine's tests, in this executable too, check that the engine never allocates.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <numeric>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "SimulatedServer.h"  // declares AllocationsIn
#include "audio/OutputTimeline.h"
#include "audio/SoundSystem.h"
#include "runtime/Clock.h"

namespace {
// Allocations and frees on this thread while armed (AllocationsIn). This executable replaces
// the global operators to count into it; everything else goes straight to malloc and free.
thread_local int tArmed = 0;
thread_local std::uint64_t tCount = 0;

// Both delete forms free here: one calling the other would hand a malloc'd pointer to a
// delete operator, which newer compilers flag.
void CountedFree(void* p) noexcept {
    tCount += tArmed > 0 && p != nullptr;
    std::free(p);
}
}  // namespace

// The array and sized forms call these by default. The render path has no over-aligned type,
// so the aligned forms are left alone.
void* operator new(std::size_t size) {
    tCount += tArmed > 0;
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    CountedFree(p);
}
void operator delete(void* p, std::size_t) noexcept {
    CountedFree(p);
}

namespace lark {
namespace testing {

std::uint64_t AllocationsIn(const std::function<void()>& call) {
    const std::uint64_t before = tCount;
    ++tArmed;
    call();
    --tArmed;
    return tCount - before;
}

}  // namespace testing
namespace {

using testing::AllocationsIn;

TEST(RealTimeTest, TheCountSeesEveryAllocationAndFree) {
    EXPECT_EQ(AllocationsIn([] {
                  std::vector<float> buffer(256);
                  asm volatile("" : : "g"(buffer.data()) : "memory");  // kept, though unused
              }),
              2u);
}

// A device stand-in: the test's own thread renders, as a callback thread would.
class RenderedElsewhere final : public AudioOutput {
  public:
    bool Renders() const override { return true; }
};

TEST(RealTimeTest, PlaysFromOneThreadAreHeardOnARenderThreadThatNeverAllocates) {
    SteadyClock clock;
    SoundSystem engine{clock, nullptr};
    std::ostringstream log;
    ASSERT_TRUE(engine.OpenOutput(
        [](Mixer&, std::string&) { return std::make_unique<RenderedElsewhere>(); }, log));
    // One sample, so a voice sounds whole within one buffer; small, so no sum clips.
    constexpr float kLevel = 1.0f / 64;
    const auto clip = std::make_shared<const ClipData>(ClipData{48000, {kLevel}});

    constexpr int kBursts = 250;
    constexpr int kBurst = 8;
    // Every loop below gives up at this time, so a stalled thread fails the test, not hangs it.
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    const auto inTime = [giveUp] { return std::chrono::steady_clock::now() < giveUp; };
    // The pacing counter is relaxed: it must not order the two threads, or it would hide a
    // fault in the queue's own ordering from ThreadSanitizer.
    std::atomic<std::uint64_t> buffers{0};
    std::atomic<bool> sent{false};
    double heard = 0;
    std::uint64_t allocations = 0;

    std::thread renderer([&] {
        OutputTimeline timeline;
        std::array<float, 256> buffer{};
        // Until every Play was sent, then on until every voice, waiting ones included, sounded.
        for (std::int64_t done = 0;; done += static_cast<std::int64_t>(buffer.size())) {
            const bool allSent = sent.load(std::memory_order_acquire);
            allocations += AllocationsIn([&] {
                const FrameMap map =
                    timeline.Update(clock.Microseconds(), 5000, done, buffer.size(), false);
                engine.mixer().Render(buffer.data(), buffer.size(), done, map);
            });
            heard = std::accumulate(buffer.begin(), buffer.end(), heard);
            buffers.fetch_add(1, std::memory_order_relaxed);
            if ((allSent && engine.mixer().SoundingVoices() == 0) || !inTime()) {
                break;
            }
        }
    });

    // Bursts of plays, each after the renderer has taken a buffer since the last one, so the
    // two threads interleave instead of one filling the queue before the other starts.
    for (int b = 0; b < kBursts && inTime(); ++b) {
        for (int i = 0; i < kBurst; ++i) {
            engine.Start(clip, 100);
        }
        // Spins, then yields the core in case the renderer waits for it.
        const std::uint64_t seen = buffers.load(std::memory_order_relaxed);
        for (int spin = 0; buffers.load(std::memory_order_relaxed) == seen && inTime(); ++spin) {
            if (spin > 1000) {
                std::this_thread::yield();
            }
        }
    }
    sent.store(true, std::memory_order_release);
    renderer.join();

    const std::uint64_t sentPlays = kBursts * kBurst;
    const std::uint64_t lost = engine.Dropped() + engine.mixer().Counts().stolen;
    EXPECT_EQ(heard, static_cast<double>(sentPlays - lost) * kLevel)
        << "a play not lost went unheard";
    EXPECT_LT(lost, sentPlays / 2);
    EXPECT_EQ(allocations, 0u) << "the render thread allocated or freed";
}

}  // namespace
}  // namespace lark
