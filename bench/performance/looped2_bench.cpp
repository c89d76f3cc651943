// A looped 2 performance in real time through the real scheduler, window and busy indicator
// (run it on the offscreen platform), with every Play recorded by the tests' sound doubles: the
// CPU share of the whole process and how late each step ends.
//
//   QT_QPA_PLATFORM=offscreen looped2_bench [--seconds N] [--no-indicator]
#include <sys/resource.h>

#include <QApplication>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "app/Startup.h"
#include "runtime/Clock.h"
#include "runtime/QtSchedulerDriver.h"
#include "runtime/Random.h"
#include "runtime/Runtime.h"
#include "runtime/Scheduler.h"
#include "sequencer/PlayEvent.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "ui/Controls.h"
#include "ui/QtMessageBoxes.h"
#include "window/Window1.h"

namespace {

using namespace lark;

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 60;
    bool indicator = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--seconds") == 0 && i + 1 < argc) {
            seconds = std::stod(argv[++i]);
        } else if (std::strcmp(argv[i], "--no-indicator") == 0) {
            indicator = false;
        }
    }
    QApplication qapp(argc, argv);
    SteadyClock clock;
    QtSchedulerDriver driver(clock);
    Scheduler scheduler(clock, driver);
    MersenneRandomSource random;
    QtMessageBoxes boxes;
    Runtime runtime(clock, scheduler, random, boxes);
    auto player = std::make_shared<testing::RecordingPlayer>(clock);
    testing::FakeStore clips(player);
    SoundBank sounds(&clips);

    Startup startup(runtime, sounds, [] { QApplication::quit(); });
    double cpu0 = 0, wall0 = 0;
    const int status = startup._Main([&] {
        Window1& window = *startup.DefaultWindow();
        boxes.SetParent(&window);
        window.Find<RadioButton>("looped2").SetValue(true);
        window.Find<PushButton>("play").Push();
        if (!indicator) {
            window.Find<ChasingArrows>("ChasingArrows1").SetVisible(false);
        }
        cpu0 = CpuSeconds();
        wall0 = clock.Microseconds();
        QTimer::singleShot(static_cast<int>(seconds * 1000), [] { QApplication::quit(); });
        return QApplication::exec();
    });
    const double wall = (clock.Microseconds() - wall0) / 1e6;
    const double cpu = CpuSeconds() - cpu0;

    // Each clip's first Play is left out, as in the runs that loaded the real clips there.
    std::vector<double> lateness;
    std::set<const ClipData*> loaded;
    std::size_t firstPlays = 0;
    const auto stepOf = [&clips](const ClipData* clip) {
        return EventFor(SoundBank::Clips()[clips.NumberOf(clip) - 168].getter).stepUs;
    };
    for (std::size_t i = 0; i < player->played.size(); ++i) {
        const auto& play = player->played[i];
        if (!loaded.insert(play.clip).second && i > 0) {
            const auto& prev = player->played[i - 1];
            lateness.push_back(play.atUs - prev.atUs - stepOf(prev.clip));
        } else {
            ++firstPlays;
        }
    }
    std::sort(lateness.begin(), lateness.end());
    auto at = [&](double q) {
        return lateness.empty() ? 0.0
                                : lateness[static_cast<std::size_t>(q * (lateness.size() - 1))];
    };
    std::printf(
        "looped 2, %.0f s, indicator %s: %zu steps (%zu first plays left out) | cpu %.2f%% of a "
        "core | step lateness us p50 %.1f p99 %.1f max %.1f\n",
        wall, indicator ? "on" : "off", player->played.size(), firstPlays, 100 * cpu / wall,
        at(0.5), at(0.99), lateness.empty() ? 0.0 : lateness.back());
    return status;
}
