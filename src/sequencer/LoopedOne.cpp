// Looped 1: endless cycles of the eleven words and the pause, each once in a fresh random
// order, with the beep between cycles, until stop is disabled.
#include "sequencer/DrawnOrder.h"
#include "sequencer/Modes.h"
#include "sequencer/PlayEvent.h"

namespace lark {

namespace {
// The beep is not among the cycle's events: it sounds between cycles.
constexpr std::span<const Event> kCycleEvents(kEvents.data(), kEvents.size() - 1);
constexpr double kGapUs = 1'000'000;
}  // namespace

Task<> LoopedOne(Runtime& runtime, SoundBank& sounds, Stage& stage) {
    using B = Stage::Button;
    stage.SetButtonEnabled(B::stop, true);
    stage.SetButtonEnabled(B::play, false);
    stage.SetButtonEnabled(B::looped2, false);
    stage.SetButtonEnabled(B::oneshot, false);

    do {
        const double lastStart = co_await PlayInDrawnOrder(runtime, sounds, kCycleEvents);

        // Both gaps count from a Play, so a long last event shortens the first.
        co_await WaitSince(runtime, lastStart, kGapUs);
        const double beepStart = co_await PlayEvent(runtime, sounds, kBeep);
        co_await WaitSince(runtime, beepStart, kGapUs);

        co_await runtime.Yield();
    } while (stage.StopEnabled());

    stage.SetButtonEnabled(B::looped2, true);
    stage.SetButtonEnabled(B::play, true);
    stage.SetButtonEnabled(B::oneshot, true);
    stage.HideBusyIndicator();
}

}  // namespace lark
