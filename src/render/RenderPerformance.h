#pragma once

#include <cstdint>
#include <vector>

#include "audio/SoundSystem.h"
#include "render/BlockOutput.h"
#include "render/RenderModes.h"

namespace lark {

// What to render: a mode, the seed of its draws, and for a looped mode how long it plays.
struct RenderRequest {
    const RenderMode* mode = nullptr;
    std::uint64_t seed = 0;
    double stopAfterUs = 0;  // from the start; the modes that end by themselves ignore it
};

// What was rendered: every Play as the sound system stamped it, on the render's clock, which
// read originUs at frame 0 (the start, where the first Play falls), and the frames rendered.
struct RenderedPerformance {
    std::vector<SoundSystem::StampedPlay> plays;
    double originUs = 0;
    std::int64_t frames = 0;
};

// Plays one performance in virtual time, through the same sound system, sound bank and mixer
// as the app, over the clips the reader gives, its draws seeded afresh, and hands the mix to
// the sink block by block: 48 kHz mono float. A mode that ends by itself plays to its end, its
// message dismissed at once. A looped mode is stopped at stopAfterUs as stop would stop it: a
// Play due then or later never comes, and what sounds plays out. The mix ends when the
// performance has ended (a looped one at its stop) and nothing sounds any more. Opens no window
// and no device; throws what the performance threw (a missing clip).
RenderedPerformance RenderPerformance(const RenderRequest& request,
                                      const SoundSystem::Reader& clips,
                                      const BlockOutput::Sink& sink);

}  // namespace lark
