#pragma once

#include <memory>
#include <ostream>

#include "audio/AudioOutput.h"
#include "audio/ResourceFork.h"
#include "audio/SoundEngine.h"
#include "runtime/Clock.h"

namespace lark {

// The sound engine with its output and the resource store whose clips play through it. Made
// once by app/ at start-up and kept until the end; GUI thread only.
class SoundSystem {
  public:
    // Opens the sound server's default output, else the default device through PortAudio,
    // else a silent output (one line on `log`).
    static std::unique_ptr<SoundSystem> OpenDefault(const Clock& clock, std::ostream& log);
    // Over any output and any store: tests pass an offline output and clips of their own.
    static std::unique_ptr<SoundSystem> Open(const Clock& clock, const OutputFactory& output,
                                             ResourceReader reader, std::ostream& log);

    // Clips from the Qt resources ":/clips/<number>" (or the reader given to Open).
    ResourceFork& resources() { return *resources_; }
    SoundEngine& engine() { return *engine_; }
    bool Silent() const { return engine_->Silent(); }

    SoundSystem(const Clock& clock, ResourceReader reader);

  private:
    std::shared_ptr<SoundEngine> engine_;
    std::unique_ptr<ClipResourceFork> resources_;
};

}  // namespace lark
