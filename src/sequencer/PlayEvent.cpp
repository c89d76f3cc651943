#include "sequencer/PlayEvent.h"

#include <stdexcept>
#include <string>

#include "platform/NilObjectException.h"

namespace lark {

double StepLengthUs(EventGetter event) {
    struct Step {
        EventGetter event;
        double lengthUs;
    };
    static constexpr Step kSteps[] = {
        {&SoundBank::thats, 210000},    {&SoundBank::one1, 580000},  {&SoundBank::small, 440000},
        {&SoundBank::step1, 420000},    {&SoundBank::for1, 210000},  {&SoundBank::man, 600000},
        {&SoundBank::silence, 2840000}, {&SoundBank::one2, 1100000}, {&SoundBank::giant, 410000},
        {&SoundBank::leap, 330000},     {&SoundBank::for2, 190000},  {&SoundBank::mankind, 1260000},
        {&SoundBank::beep, 270000},
    };
    for (const Step& step : kSteps) {
        if (step.event == event) {
            return step.lengthUs;
        }
    }
    throw std::invalid_argument("not one of the thirteen events");
}

Task<double> PlayEvent(Runtime& runtime, SoundBank& sounds, EventGetter event) {
    Sound* clip = (sounds.*event)();
    if (!clip) {
        const SoundBank::Clip* known = SoundBank::Find(event);
        throw NilObjectException(known ? std::string("clip ") + known->name + " (sound resource " +
                                             std::to_string(known->number) + ")"
                                       : std::string("clip"));
    }
    clip->SetVolume(100);
    // Fetched again: the bank hands back the same clip, with the volume just set.
    (sounds.*event)()->Play();
    const double start = runtime.Microseconds();
    co_await WaitSince(runtime, start, StepLengthUs(event));
    co_return start;
}

Task<> WaitSince(Runtime& runtime, double startUs, double lengthUs) {
    for (;;) {
        const double elapsed = runtime.Microseconds() - startUs;
        if (elapsed >= lengthUs) {
            co_return;
        }
        co_await runtime.Yield(startUs + lengthUs);
    }
}

}  // namespace lark
