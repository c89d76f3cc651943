// Looped 1: endless cycles of the eleven words and the pause, each once in a fresh random
// order, with the beep between cycles, until stop is disabled.
#include "platform/Controls.h"
#include "sequencer/EventTags.h"
#include "sequencer/PlayEvent.h"
#include "window/Window1.h"

namespace lark {

namespace {
// The beep is not among the cycle's events: it sounds between cycles.
constexpr std::span<const TaggedEvent> kCycleEvents(kTaggedEvents.data(), 12);
constexpr double kGapUs = 1'000'000;
}  // namespace

Task<> Window1::Class31_Run() {
    Find<PushButton>("stop").SetEnabled(true);
    Find<PushButton>("play").SetEnabled(false);
    Find<RadioButton>("looped2").SetEnabled(false);
    Find<RadioButton>("oneshot").SetEnabled(false);

    do {
        const double lastStart = co_await PlayInDrawnOrder(runtime_, sounds_, kCycleEvents);

        // Both gaps count from a Play, so a long last event shortens the first.
        co_await WaitSince(runtime_, lastStart, kGapUs);
        const double beepStart = co_await PlayEvent(runtime_, sounds_, &SoundBank::beep);
        co_await WaitSince(runtime_, beepStart, kGapUs);

        co_await runtime_.Yield();
    } while (Find<PushButton>("stop").Enabled());

    Find<RadioButton>("looped2").SetEnabled(true);
    Find<PushButton>("play").SetEnabled(true);
    Find<RadioButton>("oneshot").SetEnabled(true);
    Find<ChasingArrows>("ChasingArrows1").SetVisible(false);
}

}  // namespace lark
