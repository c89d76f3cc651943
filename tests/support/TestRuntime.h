#pragma once

#include "runtime/Runtime.h"
#include "runtime/VirtualLoop.h"
#include "support/RecordingMessageBoxes.h"
#include "support/ScriptedRandom.h"

namespace lark::testing {

// The runtime over its test doubles: virtual time, scripted draws, recorded message boxes
// that dismiss themselves. Fixtures derive from it to use the members by name.
struct TestRuntime {
    VirtualLoop loop;
    RecordingMessageBoxes boxes;
    ScriptedRandomSource random;
    Runtime runtime{loop.clock(), loop.scheduler(), random, boxes};
};

}  // namespace lark::testing
