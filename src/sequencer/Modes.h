#pragma once

#include "runtime/Runtime.h"
#include "runtime/Task.h"
#include "sequencer/Stage.h"
#include "sounds/SoundBank.h"

namespace lark {

// The three performances, each the run of its mode's thread. They set the stage's controls at
// their start (and one shot and looped 1 at their end) and sound every event through
// PlayEvent; a kill ends them at the yield where they wait.

// Free draws over all thirteen events, repeats allowed, until stop is found disabled.
Task<> LoopedTwo(Runtime& runtime, SoundBank& sounds, Stage& stage);
// Every event once in a random order, a pause, the end states and the donation message.
Task<> OneShot(Runtime& runtime, SoundBank& sounds, Stage& stage);
// Cycles of the twelve events but the beep, each once in a fresh order, the beep between
// cycles, until stop is found disabled at a cycle's end.
Task<> LoopedOne(Runtime& runtime, SoundBank& sounds, Stage& stage);

}  // namespace lark
