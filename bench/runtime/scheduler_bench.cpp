// Timed waits through the real scheduler on Qt's event loop, against a literal busy yield:
// how late each wait ends, what it costs in CPU, and how promptly the loop still serves
// posted events and a 16 ms repaint timer meanwhile.
//
//   scheduler_bench [--scale S] [--waits N]
#include <sys/resource.h>

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/Clock.h"
#include "runtime/QtSchedulerDriver.h"
#include "runtime/Scheduler.h"
#include "sequencer/Events.h"

namespace {

using lark::Scheduler;
using lark::SteadyClock;
using lark::Task;

// The waits are the piece's own step lengths, one of each in turn.
double StepLengthUs(std::size_t i) {
    return lark::kEvents[i % lark::kEvents.size()].stepUs;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

struct Percentiles {
    double p50 = 0, p99 = 0, max = 0;
};

Percentiles Summarise(std::vector<double> v) {
    if (v.empty()) {
        return {};
    }
    std::sort(v.begin(), v.end());
    auto at = [&](double q) { return v[static_cast<std::size_t>(q * (v.size() - 1))]; };
    return {at(0.5), at(0.99), v.back()};
}

struct Result {
    Percentiles lateness;
    double cpuPerWall = 0;
    Percentiles postedDelay;
    Percentiles repaintLateness;
};

// The wait as the performances do it: poll the clock, yield once per pass that does not end it.
Task<> Waits(Scheduler& scheduler, const SteadyClock& clock, double scale, int count, bool hint,
             std::vector<double>& lateness, bool& done) {
    for (int i = 0; i < count; ++i) {
        const double length = StepLengthUs(i) * scale;
        const double start = clock.Microseconds();
        for (;;) {
            const double now = clock.Microseconds();
            if (now - start >= length) {
                lateness.push_back(now - (start + length));
                break;
            }
            if (hint) {
                co_await scheduler.Yield(start + length);
            } else {
                co_await scheduler.Yield();
            }
        }
    }
    done = true;
}

enum class Mode { Timed, Busy, Idle };

// An idle job: sleeps as long as the timed waits would, in one piece, for the loop's baseline.
Task<> Sleep(Scheduler& scheduler, const SteadyClock& clock, double lengthUs, bool& done) {
    const double end = clock.Microseconds() + lengthUs;
    while (clock.Microseconds() < end) {
        co_await scheduler.Yield(end);
    }
    done = true;
}

Result Run(double scale, int count, Mode mode) {
    SteadyClock clock;
    lark::QtSchedulerDriver driver(clock);
    Scheduler scheduler(clock, driver);

    Result result;
    std::vector<double> lateness, posted, repaint;
    lateness.reserve(count);

    // A 16 ms repaint timer, as an animation would run.
    QTimer repaintTimer;
    repaintTimer.setTimerType(Qt::PreciseTimer);
    double lastTick = -1;
    QObject::connect(&repaintTimer, &QTimer::timeout, [&] {
        const double now = clock.Microseconds();
        if (lastTick >= 0) {
            repaint.push_back(std::max(0.0, now - lastTick - 16000));
        }
        lastTick = now;
    });
    repaintTimer.start(16);

    // Events posted from another thread every 5 ms, as input from the display would arrive.
    QObject receiver;
    std::atomic<bool> stop{false};
    std::thread poster([&] {
        while (!stop) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const double sent = clock.Microseconds();
            QMetaObject::invokeMethod(
                &receiver, [&, sent] { posted.push_back(clock.Microseconds() - sent); },
                Qt::QueuedConnection);
        }
    });

    bool done = false;
    const double cpu0 = CpuSeconds();
    const double wall0 = clock.Microseconds();
    if (mode == Mode::Idle) {
        double total = 0;
        for (int i = 0; i < count; ++i) {
            total += StepLengthUs(i) * scale;
        }
        scheduler.Start("idle", Sleep(scheduler, clock, total, done));
    } else {
        scheduler.Start("waits",
                        Waits(scheduler, clock, scale, count, mode == Mode::Timed, lateness, done));
    }
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    const double wall = (clock.Microseconds() - wall0) / 1e6;
    result.cpuPerWall = (CpuSeconds() - cpu0) / wall;
    stop = true;
    poster.join();
    QCoreApplication::processEvents();

    result.lateness = Summarise(lateness);
    result.postedDelay = Summarise(posted);
    result.repaintLateness = Summarise(repaint);
    return result;
}

void Print(const char* name, const Result& r) {
    std::printf(
        "%-21s lateness us p50 %6.1f p99 %6.1f max %6.1f | cpu %5.2f%% of a core | "
        "posted event delay us p50 %5.1f p99 %6.1f max %6.1f | 16 ms timer late us p50 %5.1f "
        "p99 %6.1f max %6.1f\n",
        name, r.lateness.p50, r.lateness.p99, r.lateness.max, r.cpuPerWall * 100, r.postedDelay.p50,
        r.postedDelay.p99, r.postedDelay.max, r.repaintLateness.p50, r.repaintLateness.p99,
        r.repaintLateness.max);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    double scale = 0.1;
    int waits = 300;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--scale") == 0) {
            scale = std::stod(argv[i + 1]);
        } else if (std::strcmp(argv[i], "--waits") == 0) {
            waits = std::stoi(argv[i + 1]);
        }
    }
    QCoreApplication app(argc, argv);
    std::printf("%d waits, step lengths x %.2f\n", waits, scale);
    Print("scheduler (timed)", Run(scale, waits, Mode::Timed));
    Print("busy yield", Run(scale, waits, Mode::Busy));
    Print("idle loop (baseline)", Run(scale, waits, Mode::Idle));
    return 0;
}
