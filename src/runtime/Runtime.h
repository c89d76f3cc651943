#pragma once

#include <memory>
#include <optional>
#include <string>

#include "runtime/Clock.h"
#include "runtime/MessageBox.h"
#include "runtime/Random.h"
#include "runtime/Scheduler.h"

namespace lark {

// What the performances and handlers use of the framework: the clock, yields, random numbers
// and message boxes. Built once in app/, or over test doubles in the tests.
class Runtime {
  public:
    Runtime(const Clock& clock, Scheduler& scheduler, RandomSource& random, MessageBoxes& boxes)
        : clock_(clock), scheduler_(scheduler), random_(random), boxes_(boxes) {}

    double Microseconds() const { return clock_.Microseconds(); }
    Scheduler::YieldAwaiter Yield(std::optional<double> notBeforeUs = std::nullopt) {
        return scheduler_.Yield(notBeforeUs);
    }
    MsgBoxAwaiter MsgBox(std::string text) {
        return MsgBoxAwaiter(scheduler_, boxes_, std::move(text));
    }
    std::unique_ptr<Random> NewRandom() { return random_.NewRandom(); }

    const Clock& clock() const { return clock_; }
    Scheduler& scheduler() { return scheduler_; }
    MessageBoxes& boxes() { return boxes_; }

  private:
    const Clock& clock_;
    Scheduler& scheduler_;
    RandomSource& random_;
    MessageBoxes& boxes_;
};

}  // namespace lark
