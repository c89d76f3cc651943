#pragma once

#include <algorithm>
#include <deque>
#include <optional>
#include <stdexcept>

#include "runtime/Clock.h"
#include "runtime/Scheduler.h"

namespace lark {

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
// runnable the clock jumps straight to the earliest deadline a job waits for, or past it when a
// test says the machine holds the loop up. The tests run on it, and so does a render, which
// needs no event loop and takes no real time.
class VirtualLoop final : public SchedulerDriver {
  public:
    VirtualLoop() : scheduler_(clock_, *this) {}

    // The next timed resumes come this much after their deadlines, one value each; after them,
    // every timed resume comes `thereafterUs` late.
    void ResumeLate(std::deque<double> latenessUs, double thereafterUs = 0) {
        lateness_ = std::move(latenessUs);
        thereafterUs_ = thereafterUs;
    }

    VirtualClock& clock() { return clock_; }
    Scheduler& scheduler() { return scheduler_; }
    double Now() const { return clock_.Microseconds(); }
    int turns() const { return turns_; }

    // Runs turns until no job is runnable now; time does not move.
    void RunUntilIdle() {
        while (wantsTurn_) {
            Turn();
        }
    }
    // Runs everything due up to the given time, moving the clock through every deadline on
    // the way, and leaves the clock there.
    void RunUntil(double us) {
        for (RunUntilIdle(); deadline_ >= 0 && deadline_ <= us; RunUntilIdle()) {
            Step();
        }
        clock_.Set(std::max(us, Now()));
    }
    void RunFor(double us) { RunUntil(Now() + us); }
    // Runs until no job is left or waiting, however far (up to an hour) that moves the clock.
    void RunToCompletion() {
        for (const double end = Now() + 3.6e9; Step();) {
            if (Now() > end) {
                throw std::runtime_error("virtual loop: jobs still waiting after an hour");
            }
        }
    }
    // When the next turn would run: now while a job is runnable, else at the earliest deadline;
    // nothing when no job is left waiting.
    std::optional<double> NextTurnAt() const {
        if (wantsTurn_) {
            return Now();
        }
        return deadline_ >= 0 ? std::optional(std::max(deadline_, Now())) : std::nullopt;
    }
    // Runs exactly one turn, first moving the clock to the earliest deadline if no job is
    // runnable now. Returns false when nothing was left to run.
    bool Step() {
        if (!wantsTurn_ && deadline_ < 0) {
            return false;
        }
        if (!wantsTurn_ && deadline_ > Now()) {
            clock_.Set(deadline_ + NextLatenessUs());
        }
        Turn();
        return true;
    }

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
    double NextLatenessUs() {
        if (lateness_.empty()) {
            return thereafterUs_;
        }
        const double us = lateness_.front();
        lateness_.pop_front();
        return us;
    }
    void Turn() {
        // A job that never waits on time would loop forever.
        if (++turns_ > 50'000'000) {
            throw std::runtime_error("virtual loop: too many turns without progress");
        }
        scheduler_.RunTurn();
    }

    VirtualClock clock_;
    Scheduler scheduler_;
    bool wantsTurn_ = false;
    double deadline_ = -1;
    int turns_ = 0;
    std::deque<double> lateness_;
    double thereafterUs_ = 0;
};

}  // namespace lark
