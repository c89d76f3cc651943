#pragma once

#include <algorithm>

namespace lark {

// How long before a deadline to set the kernel timer, so the loop polls only briefly before
// each deadline: twice as long as the timer has lately woken late, within [least, most]. It
// starts at the most, narrows a tenth at each punctual wake and widens at once after a late one.
class WakeMargin {
  public:
    WakeMargin(double leastUs, double mostUs) : leastUs_(leastUs), mostUs_(mostUs), us_(mostUs) {}

    double Us() const { return us_; }

    // The timer woke this long after the moment it was set for.
    void Woke(double lateUs) {
        us_ = 2 * lateUs > us_ ? std::min(mostUs_, 2 * lateUs) : std::max(leastUs_, 0.9 * us_);
    }

  private:
    double leastUs_;
    double mostUs_;
    double us_;
};

}  // namespace lark
