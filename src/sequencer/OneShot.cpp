// One shot: every event once, in a random order, then a pause, and the performance ends by
// itself with the donation message.
#include "platform/Controls.h"
#include "sequencer/EventTags.h"
#include "sequencer/PlayEvent.h"
#include "sequencer/DonationMessage.h"
#include "window/Window1.h"

namespace lark {

namespace {
constexpr double kFinalPauseUs = 2'000'000;
}

Task<> Window1::Class21_Run() {
    Find<PushButton>("stop").SetEnabled(true);
    Find<PushButton>("play").SetEnabled(false);
    Find<RadioButton>("looped2").SetEnabled(false);
    Find<RadioButton>("looped1").SetEnabled(false);

    co_await PlayInDrawnOrder(runtime_, sounds_, kTaggedEvents);

    co_await WaitSince(runtime_, runtime_.Microseconds(), kFinalPauseUs);

    // Stop stays enabled: pressing it later shows the message once more.
    Find<RadioButton>("looped2").SetEnabled(true);
    Find<RadioButton>("looped1").SetEnabled(true);
    Find<PushButton>("play").SetEnabled(true);
    Find<RadioButton>("oneshot").SetEnabled(true);
    Find<ChasingArrows>("ChasingArrows1").SetVisible(false);

    co_await runtime_.MsgBox(DonationMessage());
}

}  // namespace lark
