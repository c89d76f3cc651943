// The process entry: brings Qt up, wires the runtime and the sound, and runs the piece.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/NoDisplayExit.h"
#include "app/Startup.h"
#include "audio/SoundSystem.h"
#include "runtime/Clock.h"
#include "runtime/QtSchedulerDriver.h"
#include "runtime/Random.h"
#include "runtime/Runtime.h"
#include "runtime/Scheduler.h"
#include "runtime/UncaughtErrors.h"
#include "sounds/SoundBank.h"
#include "ui/QtMessageBoxes.h"
#include "window/Window1.h"

int main(int argc, char** argv) {
    lark::NoDisplayExit noDisplay;
    QApplication application(argc, argv);
    noDisplay.Release();
    lark::SetApplicationIdentity();

    lark::SteadyClock clock;
    lark::QtSchedulerDriver driver(clock);
    lark::Scheduler scheduler(clock, driver);
    lark::MersenneRandomSource random;
    lark::QtMessageBoxes boxes;
    lark::UncaughtErrors uncaught(boxes, std::cerr);
    scheduler.SetUncaughtHandler([&uncaught](const std::string& job, std::exception_ptr error) {
        uncaught.Report(job, error);
    });
    // The performances measure their steps and stamp their Plays on the job clock, so a
    // moment's delay in resuming one does not shift every clip after it.
    lark::Runtime runtime(scheduler.JobClock(), scheduler, random, boxes);

    std::shared_ptr<lark::SoundSystem> sound =
        lark::SoundSystem::OpenDefault(scheduler.JobClock(), clock, std::cerr);
    lark::SoundBank sounds([&sound]() -> lark::ResourceFork* { return sound.get(); });

    lark::Startup startup(runtime, sounds);
    return startup._Main([&] {
        boxes.SetParent(startup.DefaultWindow());
        // Once the loop runs and the window is on its way: decoding then costs the window
        // nothing, and no step waits for a clip to decode.
        QTimer::singleShot(0, [&sounds] { sounds.DecodeAllAhead(); });
        return QApplication::exec();
    });
}
