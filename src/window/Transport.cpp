// The start and stop buttons, and the stage the modes play on. The mode threads set the
// performing states themselves when they first run; these handlers only start them and
// restore the idle states.
#include "sequencer/DonationMessage.h"
#include "sequencer/Modes.h"
#include "ui/Controls.h"
#include "window/Window1.h"

namespace lark {

Task<> Window1::play_Action() {
    if (Find<RadioButton>("looped2").Value()) {
        Find<Thread>("Class11").Run();
    }
    if (Find<RadioButton>("oneshot").Value()) {
        Find<Thread>("Class21").Run();
    }
    if (Find<RadioButton>("looped1").Value()) {
        Find<Thread>("Class31").Run();
    }
    Find<ChasingArrows>("ChasingArrows1").SetVisible(true);
    co_return;
}

Task<> Window1::Class11_Run() {
    return LoopedTwo(runtime_, sounds_, *this);
}
Task<> Window1::Class21_Run() {
    return OneShot(runtime_, sounds_, *this);
}
Task<> Window1::Class31_Run() {
    return LoopedOne(runtime_, sounds_, *this);
}

// Each by its name and kind, looked up afresh.
void Window1::SetButtonEnabled(Stage::Button button, bool on) {
    switch (button) {
        case Stage::Button::play:
            Find<PushButton>("play").SetEnabled(on);
            return;
        case Stage::Button::stop:
            Find<PushButton>("stop").SetEnabled(on);
            return;
        case Stage::Button::oneshot:
            Find<RadioButton>("oneshot").SetEnabled(on);
            return;
        case Stage::Button::looped1:
            Find<RadioButton>("looped1").SetEnabled(on);
            return;
        case Stage::Button::looped2:
            Find<RadioButton>("looped2").SetEnabled(on);
            return;
    }
}

bool Window1::StopEnabled() {
    return Find<PushButton>("stop").Enabled();
}

void Window1::HideBusyIndicator() {
    Find<ChasingArrows>("ChasingArrows1").SetVisible(false);
}

Task<> Window1::stop_Action() {
    // Disabling stop is also the looped modes' end signal.
    Find<PushButton>("stop").SetEnabled(false);
    Find<PushButton>("play").SetEnabled(true);
    Find<RadioButton>("looped1").SetEnabled(true);
    Find<RadioButton>("looped2").SetEnabled(true);
    Find<RadioButton>("oneshot").SetEnabled(true);
    Find<ChasingArrows>("ChasingArrows1").SetVisible(false);
    // All three, whichever runs: killing one that is not running does nothing. The clip that
    // is sounding plays to its end.
    Find<Thread>("Class11").Kill();
    Find<Thread>("Class21").Kill();
    Find<Thread>("Class31").Kill();
    co_await runtime_.MsgBox(DonationMessage());
}

}  // namespace lark
