// Looped 2: free draws over all thirteen events, repeats allowed, until stop is disabled.
#include "sequencer/Modes.h"
#include "sequencer/PlayEvent.h"

namespace lark {
namespace {

// Draws are numbered in sentence order, 1 to 12; 13, or anything else, is the beep.
const Event& EventForNumber(std::int32_t n) {
    return n >= 1 && n <= 12 ? kEvents[n - 1] : kBeep;
}

}  // namespace

Task<> LoopedTwo(Runtime& runtime, SoundBank& sounds, Stage& stage) {
    using B = Stage::Button;
    stage.SetButtonEnabled(B::stop, true);
    stage.SetButtonEnabled(B::play, false);
    stage.SetButtonEnabled(B::oneshot, false);
    stage.SetButtonEnabled(B::looped1, false);

    std::unique_ptr<Random> random;
    do {
        random = runtime.NewRandom();
        const std::int32_t n = random->InRange(1, 13);
        co_await PlayEvent(runtime, sounds, EventForNumber(n));
        co_await runtime.Yield();
    } while (stage.StopEnabled());
}

}  // namespace lark
