#include "render/RenderPerformance.h"

#include <algorithm>
#include <exception>
#include <limits>
#include <memory>
#include <sstream>
#include <string>

#include "render/DismissingMessageBoxes.h"
#include "render/RenderStage.h"
#include "runtime/Runtime.h"
#include "runtime/SeededRandomSource.h"
#include "runtime/VirtualLoop.h"
#include "sounds/SoundBank.h"

namespace lark {

RenderedPerformance RenderPerformance(const RenderRequest& request,
                                      const SoundSystem::Reader& clips,
                                      const BlockOutput::Sink& sink) {
    VirtualLoop loop;
    SeededRandomSource random(request.seed);
    DismissingMessageBoxes boxes;
    Runtime runtime(loop.clock(), loop.scheduler(), random, boxes);
    std::exception_ptr failure;
    loop.scheduler().SetUncaughtHandler(
        [&failure](const std::string& /*job*/, std::exception_ptr error) { failure = error; });

    RenderedPerformance rendered;
    rendered.originUs = loop.Now();
    BlockOutput* output = nullptr;  // owned by the sound system
    std::ostringstream unused;      // for a failure to open the output, which cannot happen
    const std::shared_ptr<SoundSystem> system = SoundSystem::Open(
        loop.clock(),
        [&](Mixer& mixer, std::string&) {
            auto made = std::make_unique<BlockOutput>(mixer, rendered.originUs, sink);
            output = made.get();
            return made;
        },
        clips, unused);
    std::int64_t soundsUntilFrame = 0;
    system->ObservePlays([&](const SoundSystem::StampedPlay& play) {
        rendered.plays.push_back(play);
        soundsUntilFrame =
            std::max(soundsUntilFrame, output->Map().FrameAt(play.atUs) +
                                           static_cast<std::int64_t>(play.lengthInFrames));
    });
    SoundBank sounds(system.get());
    RenderStage stage;

    const Scheduler::JobId job =
        loop.scheduler().Start("render", request.mode->run(runtime, sounds, stage));
    const double stopUs = request.mode->endsByItself ? std::numeric_limits<double>::infinity()
                                                     : rendered.originUs + request.stopAfterUs;
    // Turn by turn, the mix rendered up to the present: a Play made now lands on a frame not yet
    // rendered, and the mixer's queue never holds more than one step's Plays.
    for (auto next = loop.NextTurnAt(); next && *next < stopUs && !failure;
         next = loop.NextTurnAt()) {
        loop.Step();
        output->RenderTo(output->Map().FrameAt(loop.Now()));
    }
    loop.scheduler().Kill(job);
    if (failure) {
        std::rethrow_exception(failure);
    }
    const double endUs = request.mode->endsByItself ? loop.Now() : stopUs;
    output->RenderTo(std::max(output->Map().FrameAt(endUs), soundsUntilFrame));
    rendered.frames = output->RenderedFrames();
    return rendered;
}

}  // namespace lark
