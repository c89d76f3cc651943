// One shot: every event once, in a random order, then a pause, and the performance ends by
// itself with the donation message.
#include "platform/Controls.h"
#include "sequencer/EventTags.h"
#include "sequencer/PlayEvent.h"
#include "window/DonationMessage.h"
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

    std::vector<std::string> events = EventList(kTaggedEvents);
    std::unique_ptr<Random> random;
    std::int32_t index = 0;
    // Draws without replacement: the range always covers exactly the entries left.
    for (std::int32_t k = 1; k <= 12; ++k) {
        random = runtime_.NewRandom();
        index = random->InRange(0, 13 - k);
        co_await PlayEvent(runtime_, sounds_, EventForTag(kTaggedEvents, events[index]));
        events.erase(events.begin() + index);
    }
    index = 0;  // the last one left needs no draw
    co_await PlayEvent(runtime_, sounds_, EventForTag(kTaggedEvents, events[index]));

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
