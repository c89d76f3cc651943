#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "runtime/Clock.h"
#include "runtime/Scheduler.h"
#include "runtime/WakeMargin.h"

class QSocketNotifier;

namespace lark {

// Runs scheduler turns from Qt's event loop without burning a core. Runnable jobs get a turn
// on the next pass of the loop. For a timed wait the loop sleeps on a kernel timer (timerfd
// where there is one) until shortly before the deadline, since such timers wake up to a few
// milliseconds late; it then polls once per loop pass, so UI events are still served, and
// spins only the last few microseconds.
class QtSchedulerDriver final : public QObject, public SchedulerDriver {
  public:
    struct Tuning {
        // The timer fires this long before the deadline, or less while it wakes on time.
        double wakeEarlyUs = 1500;
        double leastWakeEarlyUs = 500;
        double spinUs = 30;  // closer than this to the deadline, spin instead of yield
    };

    explicit QtSchedulerDriver(const Clock& clock);
    QtSchedulerDriver(const Clock& clock, Tuning tuning);
    ~QtSchedulerDriver() override;

    void Attach(Scheduler& scheduler) override { scheduler_ = &scheduler; }
    void RequestTurn() override;
    void RequestTurnAt(double deadlineUs) override;
    void Idle() override;

  private:
    void PostTurn();
    void Turn();
    void ArmTimer(double delayUs);
    void DisarmTimer();

    const Clock& clock_;
    Tuning tuning_;
    Scheduler* scheduler_ = nullptr;  // attached by the scheduler as it is built
    bool turnPosted_ = false;
    bool runNow_ = false;  // a job is runnable, not only waiting on time
    double deadlineUs_ = -1;
    WakeMargin early_;
    double timerDueUs_ = 0;  // when the kernel timer was last set to fire
    int timerFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;  // owned by this QObject
    QTimer fallback_;
};

}  // namespace lark
