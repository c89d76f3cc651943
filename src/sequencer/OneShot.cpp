// One shot: every event once, in a random order, then a pause, and the performance ends by
// itself with the donation message.
#include "sequencer/DonationMessage.h"
#include "sequencer/DrawnOrder.h"
#include "sequencer/Modes.h"
#include "sequencer/PlayEvent.h"

namespace lark {

namespace {
constexpr double kFinalPauseUs = 2'000'000;
}

Task<> OneShot(Runtime& runtime, SoundBank& sounds, Stage& stage) {
    using B = Stage::Button;
    stage.SetButtonEnabled(B::stop, true);
    stage.SetButtonEnabled(B::play, false);
    stage.SetButtonEnabled(B::looped2, false);
    stage.SetButtonEnabled(B::looped1, false);

    co_await PlayInDrawnOrder(runtime, sounds, kEvents);

    co_await WaitSince(runtime, runtime.Microseconds(), kFinalPauseUs);

    // Stop stays enabled: pressing it later shows the message once more.
    stage.SetButtonEnabled(B::looped2, true);
    stage.SetButtonEnabled(B::looped1, true);
    stage.SetButtonEnabled(B::play, true);
    stage.SetButtonEnabled(B::oneshot, true);
    stage.HideBusyIndicator();

    co_await runtime.MsgBox(DonationMessage());
}

}  // namespace lark
