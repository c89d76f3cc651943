#include "support/VirtualLoop.h"

#include <stdexcept>

namespace lark::testing {

namespace {
constexpr int kTurnLimit = 50'000'000;  // a job that never waits on time would loop forever
}

void VirtualLoop::Turn() {
    if (++turns_ > kTurnLimit) {
        throw std::runtime_error("virtual loop: too many turns without progress");
    }
    scheduler_.RunTurn();
}

void VirtualLoop::RunUntilIdle() {
    while (wantsTurn_) {
        Turn();
    }
}

void VirtualLoop::RunUntil(double us) {
    for (;;) {
        RunUntilIdle();
        if (deadline_ < 0 || deadline_ > us) {
            break;
        }
        if (deadline_ > Now()) {
            clock_.Set(deadline_);
        }
        Turn();
    }
    if (us > Now()) {
        clock_.Set(us);
    }
}

bool VirtualLoop::Step() {
    if (!wantsTurn_) {
        if (deadline_ < 0) {
            return false;
        }
        if (deadline_ > Now()) {
            clock_.Set(deadline_);
        }
    }
    Turn();
    return true;
}

void VirtualLoop::RunToCompletion(double limitUs) {
    const double end = Now() + limitUs;
    for (;;) {
        RunUntilIdle();
        if (deadline_ < 0) {
            return;
        }
        if (deadline_ > end) {
            throw std::runtime_error("virtual loop: jobs still waiting at the time limit");
        }
        if (deadline_ > Now()) {
            clock_.Set(deadline_);
        }
        Turn();
    }
}

}  // namespace lark::testing
