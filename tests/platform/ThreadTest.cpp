#include "platform/Thread.h"

#include <gtest/gtest.h>

#include "support/VirtualLoop.h"

namespace lark {
namespace {

class ThreadTest : public ::testing::Test {
  protected:
    testing::VirtualLoop loop;
    Thread thread{loop.scheduler(), "Class11"};
    int starts = 0;
    int steps = 0;

    void SetUp() override {
        thread.SetRunHandler([this]() -> Task<> {
            ++starts;
            for (;;) {
                ++steps;
                co_await loop.scheduler().Yield(loop.Now() + 1000);
            }
        });
    }
};

TEST_F(ThreadTest, RunStartsOnTheNextTurnAndReturnsAtOnce) {
    thread.Run();
    EXPECT_TRUE(thread.IsRunning());
    EXPECT_EQ(starts, 0);
    loop.RunUntilIdle();
    EXPECT_EQ(starts, 1);
}

TEST_F(ThreadTest, RunWhileRunningOrAboutToRunStartsNoSecondRoutine) {
    thread.Run();
    thread.Run();  // a second click before the first run got the processor
    loop.RunFor(10'000);
    thread.Run();
    loop.RunFor(10'000);
    EXPECT_EQ(starts, 1);
}

TEST_F(ThreadTest, KillStopsTheRoutineAndAllowsAFreshRun) {
    thread.Run();
    loop.RunFor(5'000);
    const int before = steps;
    thread.Kill();
    EXPECT_FALSE(thread.IsRunning());
    loop.RunFor(50'000);
    EXPECT_EQ(steps, before);
    thread.Run();
    loop.RunFor(1);
    EXPECT_EQ(starts, 2);
}

TEST_F(ThreadTest, KillOfAThreadThatIsNotRunningDoesNothing) {
    thread.Kill();
    EXPECT_FALSE(thread.IsRunning());
    thread.Run();
    loop.RunUntilIdle();
    EXPECT_EQ(starts, 1);
}

TEST_F(ThreadTest, DestroyingTheThreadEndsItsRun) {
    auto other = std::make_unique<Thread>(loop.scheduler(), "Class21");
    bool destroyed = false;
    struct Flag {
        bool* f;
        ~Flag() { *f = true; }
    };
    other->SetRunHandler([this, &destroyed]() -> Task<> {
        Flag flag{&destroyed};
        co_await loop.scheduler().Yield(loop.Now() + 1e9);
    });
    other->Run();
    loop.RunUntilIdle();
    other.reset();
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);
}

}  // namespace
}  // namespace lark
