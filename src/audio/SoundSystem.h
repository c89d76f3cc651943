#pragma once

#include <QTimer>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <unordered_map>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/DecodeAhead.h"
#include "audio/Mixer.h"
#include "audio/ResourceFork.h"
#include "audio/Sound.h"
#include "runtime/Clock.h"

namespace lark {

// Reads the application's compiled-in clips, ":/clips/<number>".
std::optional<std::vector<std::byte>> ReadClipResource(int number);

// The resource store and the player behind every Sound it hands out: clips are read by
// number, decoded to the output rate and played through the mixer and its output. Each Play
// is stamped with the clock reading it was made at, so the output sounds it at that moment
// plus a constant latency. Holds on to every clip it was asked to play, for as long as the
// output may read it, so no clip is ever freed on the audio thread. Made once by app/ at
// start-up and kept until the end; GUI thread only.
class SoundSystem final : public ResourceFork,
                          public ClipPlayer,
                          public std::enable_shared_from_this<SoundSystem> {
  public:
    // The bytes of the resource under a number, or nothing when there is none.
    using Reader = std::function<std::optional<std::vector<std::byte>>(int number)>;
    // One Play as it was made: the clip's resource number (0 for a clip the store did not hand
    // out), the clock reading stamped on it, and how long the clip sounds.
    struct StampedPlay {
        int number = 0;
        double atUs = 0;
        std::size_t lengthInFrames = 0;
    };
    // Told of every Play, silent or not, inside the step that the Play begins: return at once.
    using PlayObserver = std::function<void(const StampedPlay& play)>;
    // Makes an output over the mixer, or returns nullptr and says why in whyNot.
    using OutputOpener =
        std::function<std::unique_ptr<AudioOutput>(Mixer& mixer, std::string& whyNot)>;

    // Opens the sound server's default output, else the default device through PortAudio,
    // else a silent output (one line on `log`), over the compiled-in clips. Plays are stamped
    // with the clock the output times its buffers with.
    static std::shared_ptr<SoundSystem> OpenDefault(const Clock& clock, std::ostream& log);
    // Over any output and any store: tests pass an offline output and clips of their own.
    static std::shared_ptr<SoundSystem> Open(const Clock& clock, const OutputOpener& output,
                                             Reader reader, std::ostream& log);

    // Silent until OpenOutput. Sounds play through it only when it is owned by a shared_ptr.
    SoundSystem(const Clock& clock, Reader reader);
    ~SoundSystem() override;
    SoundSystem(const SoundSystem&) = delete;
    SoundSystem& operator=(const SoundSystem&) = delete;

    // Opens the output. When it fails, a silent output takes its place and the reason goes to
    // log, once, as one line. Returns whether the output renders.
    bool OpenOutput(const OutputOpener& opener, std::ostream& log);

    // Bytes that are missing or do not decode give nullptr.
    std::shared_ptr<Sound> GetSound(int number) override;
    // Once; later calls change nothing. The reader is then also called on a worker thread.
    void DecodeAhead(std::vector<int> numbers) override;
    // Throws for a clip at another rate than the output's.
    void Start(std::shared_ptr<const ClipData> clip, int volume) override;

    void ObservePlays(PlayObserver observer) { observer_ = std::move(observer); }

    bool Silent() const { return !output_ || !output_->Renders(); }
    // Plays lost because the output had stopped taking them (a full queue).
    std::uint64_t Dropped() const { return dropped_; }
    // What became of every Play sent so far: none is lost unnoticed.
    struct PlayAccounts {
        std::uint64_t sent = 0;
        std::uint64_t dropped = 0;
        MixerCounts mixed;
    };
    PlayAccounts Accounts() const { return {sent_, dropped_, mixer_.Counts()}; }
    Mixer& mixer() { return mixer_; }

  private:
    std::shared_ptr<const ClipData> Decode(int number) const;  // [any]

    const Clock& clock_;
    Reader reader_;
    std::vector<std::shared_ptr<const ClipData>> kept_;
    // The number each clip handed out was read under. The entry keeps the clip weakly: a clip
    // made later at the address of one that is gone is not taken for it.
    struct Numbered {
        std::weak_ptr<const ClipData> clip;
        int number = 0;
    };
    std::unordered_map<const ClipData*, Numbered> numbers_;
    PlayObserver observer_;
    std::uint64_t sent_ = 0;
    std::uint64_t dropped_ = 0;
    // Wakes the output on the next pass of the event loop: a timer costs no system call to start.
    QTimer wake_;
    Mixer mixer_;
    std::unique_ptr<AudioOutput> output_;       // stops before the mixer and clips go
    std::unique_ptr<lark::DecodeAhead> ahead_;  // last: its worker reads the reader
};

}  // namespace lark
