#include "runtime/QtSchedulerDriver.h"

#include <gtest/gtest.h>

#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "runtime/Task.h"

namespace lark {
namespace {

// The real driver on Qt's event loop with the real clock: timed waits long enough to sleep on
// the kernel timer must end on time, neither early nor a timer's worth late.
TEST(QtSchedulerDriverTest, TimedWaitsOnTheRealLoopEndWithinAFewMillisecondsOfTheirDeadlines) {
    SteadyClock clock;
    QtSchedulerDriver driver{clock};
    Scheduler scheduler{clock, driver};
    std::vector<double> lateUs;
    QEventLoop events;
    scheduler.Start("waits", Invoke([&]() -> Task<> {
                        while (lateUs.size() < 3) {  // 20 ms each
                            const double deadline = clock.Microseconds() + 20'000;
                            co_await scheduler.Yield(deadline);
                            lateUs.push_back(clock.Microseconds() - deadline);
                        }
                        events.quit();
                    }));
    // A wait that never ends fails here rather than holding the suite.
    QTimer::singleShot(2000, &events, &QEventLoop::quit);
    events.exec();

    ASSERT_EQ(lateUs.size(), 3u) << "the waits had not ended after 2 s";
    for (double late : lateUs) {
        EXPECT_GE(late, 0) << "woke before the deadline";
    }
    // The best of three, so preemption on a busy machine (or a niced run) does not fail the
    // test; a timer armed in the wrong unit is late by seconds.
    const double bestUs = *std::min_element(lateUs.begin(), lateUs.end());
    EXPECT_LT(bestUs, 10'000) << "even the best wait woke " << bestUs << " µs late";
}

}  // namespace
}  // namespace lark
