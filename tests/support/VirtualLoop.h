#pragma once

#include <cstdint>

#include "runtime/Clock.h"
#include "runtime/Scheduler.h"

namespace lark::testing {

// A clock that moves only when told to. Readings are whole microseconds, so differences
// between them are exact.
class VirtualClock final : public Clock {
  public:
    double Microseconds() const override { return now_; }
    void Set(double us) { now_ = us; }
    void Advance(double us) { now_ += us; }

  private:
    double now_ = 1'000'000;  // not zero, so code that treats 0 as "never" is caught
};

// Drives a scheduler in virtual time: runnable jobs run turn after turn, and when none is
// runnable the clock jumps straight to the earliest deadline a job waits for.
class VirtualLoop final : public SchedulerDriver {
  public:
    VirtualLoop() : scheduler_(clock_, *this) {}

    VirtualClock& clock() { return clock_; }
    Scheduler& scheduler() { return scheduler_; }
    double Now() const { return clock_.Microseconds(); }

    // Runs turns until no job is runnable now; time does not move.
    void RunUntilIdle();
    // Runs everything due up to the given time, moving the clock through every deadline on
    // the way, and leaves the clock there.
    void RunUntil(double us);
    void RunFor(double us) { RunUntil(Now() + us); }
    // Runs until no job is left or waiting, however far that moves the clock.
    void RunToCompletion(double limitUs = 3.6e9);

    // Runs exactly one turn, first moving the clock to the earliest deadline if no job is
    // runnable now. Returns false when nothing was left to run.
    bool Step();

    int turns() const { return turns_; }

    void RequestTurn() override { wantsTurn_ = true; }
    void RequestTurnAt(double deadlineUs) override {
        wantsTurn_ = false;
        deadline_ = deadlineUs;
    }
    void Idle() override {
        wantsTurn_ = false;
        deadline_ = -1;
    }

  private:
    void Turn();

    VirtualClock clock_;
    Scheduler scheduler_;
    bool wantsTurn_ = false;
    double deadline_ = -1;
    int turns_ = 0;
};

}  // namespace lark::testing
