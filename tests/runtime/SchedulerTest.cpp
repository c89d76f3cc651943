#include "runtime/Scheduler.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "runtime/MessageBox.h"
#include "runtime/Thread.h"
#include "runtime/UncaughtErrors.h"
#include "runtime/VirtualLoop.h"

namespace lark {
namespace {

using Events = std::vector<std::string>;

class SchedulerTest : public ::testing::Test {
  protected:
    VirtualLoop loop;
    Scheduler& scheduler = loop.scheduler();
    const double t0 = loop.Now();
    Events trace;

    Task<> Sleeper(std::string name, double deadline) {
        while (loop.Now() < deadline) {
            co_await scheduler.Yield(deadline);
        }
        trace.push_back(name + " +" + std::to_string(std::lround(loop.Now() - t0)));
    }
    // Awaits itself depth calls deep, then yields; each frame adds one to its callee's value
    // and counts its destruction.
    Task<int> Nested(int depth, int* destroyed) {
        const std::unique_ptr<int, void (*)(int*)> count(destroyed, [](int* n) { ++*n; });
        if (depth == 0) {
            co_await scheduler.Yield();
            co_return 7;
        }
        co_return 1 + co_await Nested(depth - 1, destroyed);
    }
    Task<> Failing(std::string what) {
        co_await scheduler.Yield();
        throw std::runtime_error(what);
    }
};

TEST_F(SchedulerTest, NestedTasksPassValuesUpAndAKillEndsAJobAtItsSuspension) {
    int wholeFrames = 0, deepFrames = 0, result = 0;
    scheduler.Start("whole",
                    Invoke([&]() -> Task<> { result = co_await Nested(2, &wholeFrames); }));
    const auto deep = scheduler.Start("deep", Invoke([&]() -> Task<> {
                                          co_await Nested(2, &deepFrames);
                                          trace.push_back("never");
                                      }));
    scheduler.Kill(scheduler.Start("early", Sleeper("early", t0)));  // before its first turn
    Scheduler::JobId self = 0;
    self = scheduler.Start("self", Invoke([this, &self]() -> Task<> {
                               scheduler.Kill(self);
                               trace.push_back("after kill");  // the running frame cannot go yet
                               co_await scheduler.Yield();
                               trace.push_back("never");
                           }));
    scheduler.RunTurn();  // whole and deep suspend two calls deep
    scheduler.Kill(deep);
    EXPECT_EQ(deepFrames, 3) << "every frame goes";
    loop.RunUntilIdle();
    scheduler.Kill(deep);   // gone
    scheduler.Kill(12345);  // unknown
    EXPECT_EQ(result, 9);
    EXPECT_EQ(wholeFrames, 3);
    EXPECT_EQ(trace, (Events{"after kill"}));
    EXPECT_EQ(scheduler.JobCount(), 0u);
}

// Run and Kill as start and stop use them are the mode tests'; a thread also ends its run when
// it goes.
TEST_F(SchedulerTest, DestroyingAThreadEndsItsRun) {
    auto thread = std::make_unique<Thread>(scheduler, "Class11");
    thread->SetRunHandler([&]() -> Task<> {
        for (;;) {
            co_await scheduler.Yield(loop.Now() + 1000);
        }
    });
    thread->Run();
    loop.RunFor(10'000);
    ASSERT_TRUE(thread->IsRunning());
    thread.reset();
    EXPECT_EQ(scheduler.JobCount(), 0u);
}

TEST_F(SchedulerTest, TimedJobsSleepUntilTheirDeadlinesAndThoseDueInOneTurnWakeInDeadlineOrder) {
    // Started so that neither start order nor its reverse is deadline order.
    scheduler.Start("c", Sleeper("c", t0 + 300));
    scheduler.Start("a", Sleeper("a", t0 + 100));
    scheduler.Start("b", Sleeper("b", t0 + 200));
    scheduler.Start("late", Sleeper("late", t0 + 2'840'000));
    loop.RunUntil(t0 + 150);
    EXPECT_EQ(trace, (Events{"a +100"}));
    loop.clock().Set(t0 + 1000);  // the loop came back late: b and c are due at once
    EXPECT_EQ(scheduler.RunTurn(), 2);
    loop.RunToCompletion();
    EXPECT_EQ(trace, (Events{"a +100", "b +1000", "c +1000", "late +2840000"}));
    EXPECT_LT(loop.turns(), 5) << "a hinted wait must not be resumed on every turn";
}

TEST_F(SchedulerTest, AnExceptionEndsOnlyItsJobAndIsReportedUnlessAwaited) {
    Events uncaught;
    scheduler.SetUncaughtHandler([&](const std::string& job, std::exception_ptr e) {
        uncaught.push_back(job + ": " + UncaughtErrors::Describe(e));
    });
    scheduler.Start("bad", Failing("missing clip 177"));
    scheduler.Start("good", Sleeper("good", t0 + 10));
    std::string caught;
    scheduler.Start("catches", Invoke([this, &caught]() -> Task<> {
                        try {
                            co_await Failing("deep");
                        } catch (const std::runtime_error& e) {
                            caught = e.what();
                        }
                    }));
    // A job that suspends on an awaiter of its own could never be resumed: it is ended and
    // reported, instead of hanging.
    scheduler.Start("stuck", Invoke([]() -> Task<> { co_await std::suspend_always{}; }));
    loop.RunToCompletion();
    EXPECT_EQ(uncaught,
              (Events{"stuck: suspended outside the scheduler", "bad: missing clip 177"}));
    EXPECT_EQ(trace, (Events{"good +10"}));
    EXPECT_EQ(caught, "deep");
    EXPECT_EQ(scheduler.JobCount(), 0u);

    // Yielding from no job at all is a fault of the caller's.
    Task<> outside = Invoke([this]() -> Task<> { co_await scheduler.Yield(); });
    outside.Entry().resume();
    ASSERT_TRUE(outside.Done());
    EXPECT_THROW(std::rethrow_exception(outside.Exception()), std::logic_error);
}

TEST_F(SchedulerTest, ParkedJobResumesOnALaterTurnOnlyOnce) {
    struct ParkAwaiter : std::suspend_always {
        Scheduler& s;
        Scheduler::Wake& out;
        void await_suspend(std::coroutine_handle<> h) { out = s.Park(h); }
    };
    Scheduler::Wake wake;
    scheduler.Start("parked", Invoke([this, &wake]() -> Task<> {
                        co_await ParkAwaiter{{}, scheduler, wake};
                        trace.push_back("resumed");
                        co_await ParkAwaiter{{}, scheduler, wake};
                        trace.push_back("resumed again");
                    }));
    loop.RunUntilIdle();
    const auto first = wake;
    scheduler.Resume(first);
    EXPECT_TRUE(trace.empty()) << "a wake resumes on a later turn, not inside the call";
    loop.RunUntilIdle();
    scheduler.Resume(first);  // stale: the job parked again since
    loop.RunUntilIdle();
    EXPECT_EQ(trace, (Events{"resumed"}));
}

}  // namespace
}  // namespace lark
