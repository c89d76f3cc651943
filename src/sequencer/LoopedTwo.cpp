// Looped 2: free draws over all thirteen events, repeats allowed, until stop is disabled.
#include "platform/Controls.h"
#include "sequencer/EventTags.h"
#include "sequencer/PlayEvent.h"
#include "window/Window1.h"

namespace lark {
namespace {

// Draws are numbered in sentence order, 1 to 12; 13, or anything else, is the beep.
EventGetter EventForNumber(std::int32_t n) {
    return n >= 1 && n <= 12 ? kTaggedEvents[n - 1].event : &SoundBank::beep;
}

}  // namespace

Task<> Window1::Class11_Run() {
    Find<PushButton>("stop").SetEnabled(true);
    Find<PushButton>("play").SetEnabled(false);
    Find<RadioButton>("oneshot").SetEnabled(false);
    Find<RadioButton>("looped1").SetEnabled(false);

    std::unique_ptr<Random> random;
    do {
        random = runtime_.NewRandom();
        const std::int32_t n = random->InRange(1, 13);
        co_await PlayEvent(runtime_, sounds_, EventForNumber(n));
        co_await runtime_.Yield();
    } while (Find<PushButton>("stop").Enabled());
}

}  // namespace lark
