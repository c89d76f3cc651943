#include "audio/PortAudioOutput.h"

#include <fcntl.h>
#include <pa_linux_alsa.h>
#include <portaudio.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <optional>

namespace lark {

namespace {

// Samples per callback: 5.3 ms at 48 kHz. Onsets do not depend on it, only the latency.
constexpr unsigned long kFramesPerBuffer = 256;
// Through ALSA's pulse plugin 10 ms ran dry now and then on a busy machine, each time an
// audible gap in a clip; 25 ms did not, and a click still sounds within a few tens of ms.
constexpr double kSuggestedLatencySeconds = 0.025;
// Keeps fd 2 on /dev/null while PortAudio probes ALSA and JACK, which print their complaints
// straight to stderr.
class QuietStderr {
  public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && null >= 0) {
            dup2(null, STDERR_FILENO);
        }
        if (null >= 0) {
            close(null);
        }
    }
    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }
    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

  private:
    int saved_ = -1;
};

int Callback(const void* /*input*/, void* output, unsigned long frames,
             const PaStreamCallbackTimeInfo* time, PaStreamCallbackFlags flags, void* user) {
    double aheadUs = time ? (time->outputBufferDacTime - time->currentTime) * 1e6 : 0;
    if (!(aheadUs >= 0 && aheadUs < 1e6)) {
        aheadUs = 0;  // a host API that reports no times
    }
    const bool ends = static_cast<PortAudioOutput*>(user)->FillEndsStream(
        static_cast<float*>(output), frames, aheadUs, (flags & paOutputUnderflow) != 0);
    return ends ? paComplete : paContinue;
}

}  // namespace

std::unique_ptr<PortAudioOutput> PortAudioOutput::Open(Mixer& mixer, const Clock& clock,
                                                       std::string& whyNot) {
    auto output = std::make_unique<PortAudioOutput>(Key{}, mixer, clock);
    if (!output->Start(whyNot)) {
        return nullptr;
    }
    return output;
}

bool PortAudioOutput::Start(std::string& whyNot) {
    QuietStderr quiet;
    PaError err = Pa_Initialize();
    if (err != paNoError) {
        whyNot = std::string("PortAudio: ") + Pa_GetErrorText(err);
        return false;
    }
    if (Pa_GetDefaultOutputDevice() == paNoDevice) {
        Pa_Terminate();
        whyNot = "no default output device";
        return false;
    }
    PaStream* stream = nullptr;
    const PaDeviceIndex device = Pa_GetDefaultOutputDevice();
    const PaDeviceInfo* deviceInfo = Pa_GetDeviceInfo(device);
    if (deviceInfo == nullptr) {
        whyNot = "PortAudio gives no details of the default output device";
        return false;
    }
    for (int channels : {1, 2}) {
        // The default stream asks for the device's high latency; a click on start should be
        // heard within a few tens of milliseconds.
        PaStreamParameters parameters{};
        parameters.device = device;
        parameters.channelCount = channels;
        parameters.sampleFormat = paFloat32;
        parameters.suggestedLatency =
            std::max(kSuggestedLatencySeconds, deviceInfo->defaultLowOutputLatency);
        err = Pa_OpenStream(&stream, nullptr, &parameters, kOutputRateHz, kFramesPerBuffer,
                            paNoFlag, Callback, this);
        if (err == paNoError) {
            channels_ = channels;
            break;
        }
    }
    if (err == paNoError) {
        // Where the system allows it, the callback thread runs at real-time priority, so a
        // busy machine does not starve the output; elsewhere this changes nothing.
        const PaHostApiInfo* hostApi = Pa_GetHostApiInfo(deviceInfo->hostApi);
        if (hostApi != nullptr && hostApi->type == paALSA) {
            PaAlsa_EnableRealtimeScheduling(stream, 1);
        }
        err = Pa_StartStream(stream);
        if (err != paNoError) {
            Pa_CloseStream(stream);
        }
    }
    if (err != paNoError) {
        whyNot = std::string("cannot open the output device: ") + Pa_GetErrorText(err);
        Pa_Terminate();
        return false;
    }
    stream_ = stream;
    runs_ = 1;
    return true;
}

void PortAudioOutput::Wake() {
    if (!idleStop_.WakeNeedsStart() || !stream_) {
        return;
    }
    QuietStderr quiet;
    auto* stream = static_cast<PaStream*>(stream_);
    // Only the silent tail is left to play. Abort, not stop: stopping waits for it to drain,
    // which hangs if the server has gone. Once this returns the callback thread has finished,
    // so its state is ours until the stream starts again.
    Pa_AbortStream(stream);
    timeline_.Restart();
    if (Pa_StartStream(stream) == paNoError) {
        ++runs_;
    } else {
        idleStop_.Stopped();
    }
}

PortAudioOutput::~PortAudioOutput() {
    if (!stream_) {
        return;
    }
    QuietStderr quiet;
    // Abort rather than stop: stopping waits for the buffers to drain, which hangs if the
    // server has gone.
    Pa_AbortStream(static_cast<PaStream*>(stream_));
    Pa_CloseStream(static_cast<PaStream*>(stream_));
    Pa_Terminate();
}

bool PortAudioOutput::FillEndsStream(float* out, unsigned long frames, double dacAheadUs,
                                     bool underflow) {
    double oldestUs = 0;
    const bool waiting = mixer_.OldestWaiting(oldestUs);
    const FrameMap map =
        timeline_.Update(clock_.Microseconds(), dacAheadUs, framesDone_, frames, underflow,
                         waiting ? std::optional(oldestUs) : std::nullopt);
    latencyUs_.store(timeline_.LatencyUs(), std::memory_order_relaxed);
    reanchors_.store(timeline_.Reanchors(), std::memory_order_relaxed);
    if (timeline_.Calibrated()) {
        mixer_.Place(framesDone_, map);
    }
    if (channels_ == 1) {
        mixer_.RenderPlaced(out, frames, framesDone_);
        framesDone_ += static_cast<std::int64_t>(frames);
        return EndsAfter(frames);
    }
    // Stereo device: the same mono mix on both sides, a scratch buffer's worth at a time.
    for (unsigned long done = 0; done < frames;) {
        const std::size_t n = std::min<std::size_t>(kScratchFrames, frames - done);
        mixer_.RenderPlaced(scratch_.data(), n, framesDone_);
        for (std::size_t i = 0; i < n; ++i) {
            for (int c = 0; c < channels_; ++c) {
                out[(done + i) * static_cast<std::size_t>(channels_) + c] = scratch_[i];
            }
        }
        framesDone_ += static_cast<std::int64_t>(n);
        done += n;
    }
    return EndsAfter(frames);
}

bool PortAudioOutput::EndsAfter(unsigned long frames) {
    if (idleStop_.EndsNow(static_cast<std::int64_t>(frames), mixer_.SoundingVoices() > 0)) {
        return true;
    }
    // The first run, from opening, only learns the latency: it ends then, unless Plays came.
    return timeline_.Calibrated() && idleStop_.EndsNowIfNeverWoken();
}

}  // namespace lark
