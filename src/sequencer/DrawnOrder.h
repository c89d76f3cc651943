#pragma once

#include <span>

#include "runtime/Runtime.h"
#include "runtime/Task.h"
#include "sequencer/Events.h"
#include "sounds/SoundBank.h"

namespace lark {

// Plays every event of the rows once, in an order drawn without replacement from a fresh list
// of their tags: a new Random for every draw, its range always the entries left, the last
// entry taken without a draw. A tag is dispatched by testing every row but the last in order;
// any other tag selects the last row. Returns the start time of the last event's step.
Task<double> PlayInDrawnOrder(Runtime& runtime, SoundBank& sounds, std::span<const Event> rows);

}  // namespace lark
