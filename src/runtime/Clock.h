#pragma once

#include <chrono>

namespace lark {

// The microsecond clock every timed wait polls. Readings never decrease; only differences
// between them mean anything.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual double Microseconds() const = 0;
};

// Monotonic wall time from std::chrono::steady_clock (CLOCK_MONOTONIC on Linux), counted
// from the moment the clock object was made.
class SteadyClock final : public Clock {
  public:
    double Microseconds() const override {
        return std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - origin_)
            .count();
    }

  private:
    std::chrono::steady_clock::time_point origin_ = std::chrono::steady_clock::now();
};

}  // namespace lark
