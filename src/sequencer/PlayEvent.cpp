#include "sequencer/PlayEvent.h"

#include <stdexcept>
#include <string>

#include "runtime/NilObjectException.h"

namespace lark {

const Event& EventFor(SoundBank::Getter clip) {
    for (const Event& event : kEvents) {
        if (event.clip == clip) {
            return event;
        }
    }
    throw std::invalid_argument("not one of the thirteen events");
}

Task<double> PlayEvent(Runtime& runtime, SoundBank& sounds, const Event& event) {
    Sound* clip = (sounds.*event.clip)();
    if (!clip) {
        const SoundBank::Clip* known = SoundBank::Find(event.clip);
        throw NilObjectException(known ? std::string("clip ") + known->name + " (sound resource " +
                                             std::to_string(known->number) + ")"
                                       : std::string("clip"));
    }
    clip->SetVolume(100);
    // Fetched again: the bank hands back the same clip, with the volume just set.
    (sounds.*event.clip)()->Play();
    const double start = runtime.Microseconds();
    co_await WaitSince(runtime, start, event.stepUs);
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
