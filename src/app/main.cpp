// The process entry: brings Qt up, wires the runtime and the sound, and runs the piece.
#include <QApplication>
#include <QTimer>
#include <iostream>

#include "app/CommandLine.h"
#include "app/NoDisplayExit.h"
#include "app/PerformanceDraws.h"
#include "app/PlayTraceFile.h"
#include "app/Startup.h"
#include "app/WithoutWindow.h"
#include "audio/SoundSystem.h"
#include "runtime/Clock.h"
#include "runtime/QtSchedulerDriver.h"
#include "runtime/Runtime.h"
#include "runtime/Scheduler.h"
#include "runtime/UncaughtErrors.h"
#include "sounds/SoundBank.h"
#include "ui/QtMessageBoxes.h"
#include "window/Window1.h"

int main(int argc, char** argv) {
    const lark::CommandLine command = lark::ParseCommandLine(argc, argv);
    if (command.action != lark::CommandLine::Action::Play) {
        return lark::RunWithoutWindow(command, argc, argv);
    }
    lark::PlayTraceFile trace;  // outlives the sound, so it is complete as the process quits
    if (!trace.Open(command.tracePlaysPath, std::cerr)) {
        return 1;
    }
    lark::NoDisplayExit noDisplay;
    QApplication application(argc, argv);
    noDisplay.Release();
    lark::SetApplicationIdentity();

    lark::SteadyClock clock;
    lark::QtSchedulerDriver driver(clock);
    lark::Scheduler scheduler(clock, driver);
    lark::PerformanceDraws random(command.seed);
    lark::QtMessageBoxes boxes;
    lark::UncaughtErrors uncaught(boxes, std::cerr);
    scheduler.SetUncaughtHandler([&uncaught](const std::string& job, std::exception_ptr error) {
        uncaught.Report(job, error);
    });
    lark::Runtime runtime(clock, scheduler, random.Source(), boxes);

    std::shared_ptr<lark::SoundSystem> sound = lark::SoundSystem::OpenDefault(clock, std::cerr);
    trace.Watch(*sound);
    lark::SoundBank sounds(sound.get());

    lark::Startup startup(runtime, sounds);
    const int status = startup._Main([&] {
        boxes.SetParent(startup.DefaultWindow());
        random.RestartAtEveryRun(*startup.DefaultWindow());
        // Once the loop runs and the window is on its way: decoding then costs the window
        // nothing, and no step waits for a clip to decode.
        QTimer::singleShot(0, [&sounds] { sounds.DecodeAllAhead(); });
        return QApplication::exec();
    });
    trace.Account(sound->Accounts());
    return status;
}
