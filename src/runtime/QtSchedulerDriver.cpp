#include "runtime/QtSchedulerDriver.h"

#include <QMetaObject>
#include <QSocketNotifier>
#include <cmath>
#include <cstdint>

#ifdef __linux__
#include <sys/timerfd.h>
#include <unistd.h>
#endif

namespace lark {

QtSchedulerDriver::QtSchedulerDriver(const Clock& clock) : QtSchedulerDriver(clock, Tuning{}) {}

QtSchedulerDriver::QtSchedulerDriver(const Clock& clock, Tuning tuning)
    : clock_(clock), tuning_(tuning), early_(tuning.leastWakeEarlyUs, tuning.wakeEarlyUs) {
#ifdef __linux__
    timerFd_ = timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
    if (timerFd_ >= 0) {
        notifier_ = new QSocketNotifier(timerFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, [this] {
            std::uint64_t expirations = 0;
            [[maybe_unused]] auto n = ::read(timerFd_, &expirations, sizeof expirations);
            early_.Woke(clock_.Microseconds() - timerDueUs_);
            PostTurn();
        });
    }
#endif
    fallback_.setSingleShot(true);
    fallback_.setTimerType(Qt::PreciseTimer);
    connect(&fallback_, &QTimer::timeout, this, &QtSchedulerDriver::PostTurn);
}

QtSchedulerDriver::~QtSchedulerDriver() {
#ifdef __linux__
    if (timerFd_ >= 0) {
        delete notifier_;
        ::close(timerFd_);
    }
#endif
}

void QtSchedulerDriver::RequestTurn() {
    runNow_ = true;
    DisarmTimer();
    PostTurn();
}

void QtSchedulerDriver::RequestTurnAt(double deadlineUs) {
    runNow_ = false;
    deadlineUs_ = deadlineUs;
    const double remaining = deadlineUs - clock_.Microseconds();
    if (remaining <= early_.Us()) {
        DisarmTimer();
        PostTurn();
    } else {
        ArmTimer(remaining - early_.Us());
    }
}

void QtSchedulerDriver::Idle() {
    runNow_ = false;
    deadlineUs_ = -1;
    DisarmTimer();
}

void QtSchedulerDriver::PostTurn() {
    if (turnPosted_) {
        return;
    }
    turnPosted_ = true;
    QMetaObject::invokeMethod(this, &QtSchedulerDriver::Turn, Qt::QueuedConnection);
}

void QtSchedulerDriver::Turn() {
    turnPosted_ = false;
    if (!runNow_ && deadlineUs_ >= 0) {
        const double remaining = deadlineUs_ - clock_.Microseconds();
        if (remaining > tuning_.spinUs) {
            // Not yet: come back on the next pass of the loop, or sleep if still far off.
            RequestTurnAt(deadlineUs_);
            return;
        }
        while (clock_.Microseconds() < deadlineUs_) {
            // The last few microseconds: a sleep or a loop pass would overshoot them.
        }
    }
    scheduler_->RunTurn();  // tells us what it needs next
}

void QtSchedulerDriver::ArmTimer(double delayUs) {
#ifdef __linux__
    if (timerFd_ >= 0) {
        const auto ns = static_cast<std::int64_t>(std::max(1.0, delayUs) * 1000.0);
        timerDueUs_ = clock_.Microseconds() + static_cast<double>(ns) / 1000.0;
        itimerspec timerValue{};
        timerValue.it_value.tv_sec = ns / 1'000'000'000;
        timerValue.it_value.tv_nsec = ns % 1'000'000'000;
        timerfd_settime(timerFd_, 0, &timerValue, nullptr);
        return;
    }
#endif
    // Qt timers wake later the longer they sleep: allow for that, then poll.
    const double early = 2000 + 0.002 * delayUs;
    const int ms = static_cast<int>(std::floor(std::max(0.0, delayUs - early) / 1000.0));
    fallback_.start(ms);
}

void QtSchedulerDriver::DisarmTimer() {
#ifdef __linux__
    if (timerFd_ >= 0) {
        itimerspec timerValue{};
        timerfd_settime(timerFd_, 0, &timerValue, nullptr);
    }
#endif
    fallback_.stop();
}

}  // namespace lark
