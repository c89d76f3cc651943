#pragma once

#include <ostream>

#include "app/CommandLine.h"
#include "audio/SoundSystem.h"

namespace lark {

// Renders as the command line asks, over the clips the reader gives: the mix to OUT, which
// appears only once whole, the trace if asked for, and the clips in order on out, one a line
// with its start in seconds from the first ("thats 0.000000"). What fails goes to err in one
// line, and leaves OUT as it was. Returns the exit status, 0 or 1.
int RenderToFile(const CommandLine& line, const SoundSystem::Reader& clips, std::ostream& out,
                 std::ostream& err);

}  // namespace lark
