#pragma once

#include "runtime/Runtime.h"
#include "runtime/Task.h"
#include "sequencer/Events.h"
#include "sounds/SoundBank.h"

namespace lark {

// Plays the event's clip at volume 100 and holds the calling performance thread for the
// event's step length, counted from just after Play returned; yields at every pass of the
// wait. Returns that start reading, for holds measured from the same start. Throws
// NilObjectException when the bank has no clip for the event; nothing is played then.
Task<double> PlayEvent(Runtime& runtime, SoundBank& sounds, const Event& event);

// Returns at the first clock reading at which lengthUs has passed since startUs; yields once
// per pass that does not end the wait. Ends at once when that has already happened.
Task<> WaitSince(Runtime& runtime, double startUs, double lengthUs);

}  // namespace lark
