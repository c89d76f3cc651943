#include "audio/PulseOutput.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>

namespace lark {

namespace {

// What the desktop's sound settings show for the piece.
constexpr const char* kName = "Larkspool 8";
constexpr const char* kIconName = "larkspool8";
constexpr const char* kAppId = "org.example.Larkspool8";
// Below the sound server's own threads, above everything else.
constexpr int kRealtimePriority = 5;

void OnWritable(pa_stream* /*stream*/, size_t /*bytes*/, void* user) {
    static_cast<PulseOutput*>(user)->Fill();
}

void OnLatencyUpdate(pa_stream* /*stream*/, void* user) {
    // The first timing report may come after the first request for data, which waited for it.
    static_cast<PulseOutput*>(user)->Fill();
}

void OnUnderflow(pa_stream* /*stream*/, void* user) {
    static_cast<PulseOutput*>(user)->NoteUnderflow();
}

void OnStarted(pa_stream* /*stream*/, void* user) {
    static_cast<PulseOutput*>(user)->NoteStarted();
}

}  // namespace

PulseOutput::PulseOutput(Key, Mixer& mixer, const Clock& clock, Tuning tuning)
    : mixer_(mixer), clock_(clock), tuning_(tuning) {}

std::unique_ptr<PulseOutput> PulseOutput::Open(Mixer& mixer, const Clock& clock,
                                               std::string& whyNot, Tuning tuning) {
    auto output = std::make_unique<PulseOutput>(Key{}, mixer, clock, tuning);
    output->loop_ = pa_mainloop_new();
    if (!output->loop_) {
        whyNot = "cannot make the sound server client's loop";
        return nullptr;
    }
    output->thread_ = std::thread([raw = output.get()] { raw->Run(); });
    output->connected_.wait(0, std::memory_order_acquire);
    if (output->connected_.load(std::memory_order_acquire) < 0) {
        whyNot = "no sound server: " + output->whyNot_;
        return nullptr;
    }
    return output;
}

PulseOutput::~PulseOutput() {
    quit_.store(true, std::memory_order_relaxed);
    if (loop_) {
        pa_mainloop_wakeup(loop_);
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    if (loop_) {
        pa_mainloop_free(loop_);
    }
}

void PulseOutput::Wake() {
    wake_.store(true);
    // A running stream's thread wakes for its next refill anyway and sees the flag then; only
    // a stopped one needs the call, which may hand the core to the output thread at once.
    if (!running_.load()) {
        pa_mainloop_wakeup(loop_);
    }
}

void PulseOutput::Run() {
    // Where the system allows it, so a busy machine does not starve the output; elsewhere
    // this changes nothing.
    sched_param param{};
    param.sched_priority = kRealtimePriority;
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    pthread_setname_np(pthread_self(), "lark-output");

    std::string whyNot;
    bool up = Connect(whyNot);
    while (up && !quit_.load(std::memory_order_relaxed)) {
        const pa_context_state_t state = pa_context_get_state(context_);
        if (state == PA_CONTEXT_READY) {
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            whyNot = pa_strerror(pa_context_errno(context_));
            up = false;
            break;
        }
        pa_mainloop_iterate(loop_, 1, nullptr);
    }
    if (!up) {
        DropContext();
        whyNot_ = whyNot;
    }
    connected_.store(up ? 1 : -1, std::memory_order_release);
    connected_.notify_all();
    if (!up) {
        return;
    }
    while (!quit_.load(std::memory_order_relaxed)) {
        Step();
        pa_mainloop_iterate(loop_, 1, nullptr);
    }
    EndStream();
    DropContext();
}

bool PulseOutput::Connect(std::string& whyNot) {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kName);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, kAppId);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, kIconName);
    // A few kilobytes every 10 ms go as well through the socket: with shared memory, the
    // server hands every block back with a message of its own, which wakes the thread twice
    // as often.
    pa_proplist_sets(props, "context.force.disable.shm", "yes");
    context_ = pa_context_new_with_proplist(pa_mainloop_get_api(loop_), kName, props);
    pa_proplist_free(props);
    if (!context_) {
        whyNot = "cannot make a client";
        return false;
    }
    // Never start a server of our own: a user who has none wants none.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        whyNot = pa_strerror(pa_context_errno(context_));
        DropContext();
        return false;
    }
    return true;
}

void PulseOutput::Step() {
    const bool contextLost = context_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_));
    const bool streamLost = stream_ && !PA_STREAM_IS_GOOD(pa_stream_get_state(stream_));
    if (contextLost || streamLost) {
        // Plays sent meanwhile would all start at once, late, on the next stream.
        EndStream();
        mixer_.Reset();
        startWhenReady_ = false;
        if (contextLost) {
            DropContext();
        }
    }
    if (wake_.exchange(false)) {
        idle_ = false;
        silentFrames_ = 0;
        startWhenReady_ = !stream_;
        std::string whyNot;
        if (startWhenReady_ && !context_ && !Connect(whyNot)) {
            startWhenReady_ = false;
            mixer_.Reset();
        }
    }
    if (startWhenReady_ && pa_context_get_state(context_) == PA_CONTEXT_READY) {
        startWhenReady_ = false;
        StartStream();
    }
    if (stream_ && idle_) {
        EndStream();
        // A Play sent just before the end saw the stream running and did not wake us.
        if (wake_.load()) {
            pa_mainloop_wakeup(loop_);
        }
    }
}

void PulseOutput::StartStream() {
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kOutputRateHz, 1};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(props, PA_PROP_MEDIA_ICON_NAME, kIconName);
    stream_ = pa_stream_new_with_proplist(context_, kName, &format, nullptr, props);
    pa_proplist_free(props);
    if (!stream_) {
        mixer_.Reset();
        return;
    }
    pa_stream_set_write_callback(stream_, OnWritable, this);
    pa_stream_set_latency_update_callback(stream_, OnLatencyUpdate, this);
    pa_stream_set_underflow_callback(stream_, OnUnderflow, this);
    pa_stream_set_started_callback(stream_, OnStarted, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(tuning_.bufferUs), &format));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(tuning_.refillUs), &format));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        EndStream();
        mixer_.Reset();
        return;
    }
    timeline_.Restart();
    framesDone_ = 0;
    silentFrames_ = 0;
    idle_ = false;
    underflow_ = false;
    started_ = false;
    running_.store(true);
    runs_.fetch_add(1, std::memory_order_relaxed);
}

void PulseOutput::EndStream() {
    if (!stream_) {
        return;
    }
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_started_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
    running_.store(false);
}

void PulseOutput::DropContext() {
    if (!context_) {
        return;
    }
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseOutput::Fill() {
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        return;
    }
    if (!started_) {
        // Until the server plays the stream (a suspended device may take tens of milliseconds
        // to resume), nobody can say when a frame will sound: silence fills the buffer, and
        // the timeline is anchored once it plays.
        WriteSilence();
        return;
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &latency, &negative) < 0) {
        return;
    }
    if (!latencyHeld_) {
        // Held for the life of the process: what the device keeps buffered before a frame is
        // heard, plus the whole buffer that may be written ahead of it, and a margin.
        const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
        const pa_buffer_attr* attr = pa_stream_get_buffer_attr(stream_);
        const double deviceUs = timing ? static_cast<double>(timing->sink_usec) : 0.0;
        const double bufferUs = attr ? static_cast<double>(pa_bytes_to_usec(
                                           attr->tlength, pa_stream_get_sample_spec(stream_)))
                                     : tuning_.bufferUs;
        timeline_.HoldLatency(deviceUs + bufferUs + tuning_.safetyUs);
        latencyHeld_ = true;
        latencyUs_.store(timeline_.LatencyUs(), std::memory_order_relaxed);
    }
    const auto idleFrames = static_cast<std::int64_t>(tuning_.idleStopUs * kOutputRateHz / 1e6);
    for (;;) {
        std::size_t bytes = pa_stream_writable_size(stream_);
        if (bytes == static_cast<std::size_t>(-1) || bytes < sizeof(float)) {
            break;
        }
        void* data = nullptr;
        if (pa_stream_begin_write(stream_, &data, &bytes) < 0 || !data) {
            break;
        }
        const std::size_t frames = bytes / sizeof(float);
        if (frames == 0) {
            pa_stream_cancel_write(stream_);
            break;
        }
        const double aheadUs = negative ? 0.0 : static_cast<double>(latency);
        const FrameMap map = timeline_.Update(clock_.Microseconds(), aheadUs, framesDone_,
                                              static_cast<unsigned long>(frames), underflow_);
        underflow_ = false;
        auto* out = static_cast<float*>(data);
        mixer_.Render(out, frames, framesDone_, map);
        framesDone_ += static_cast<std::int64_t>(frames);
        pa_stream_write(stream_, data, frames * sizeof(float), nullptr, 0, PA_SEEK_RELATIVE);
        silentFrames_ =
            mixer_.SoundingVoices() == 0 ? silentFrames_ + static_cast<std::int64_t>(frames) : 0;
        idle_ = silentFrames_ >= idleFrames;
        if (pa_stream_get_latency(stream_, &latency, &negative) < 0) {
            break;
        }
    }
    reanchors_.store(timeline_.Reanchors(), std::memory_order_relaxed);
}

void PulseOutput::NoteStarted() {
    started_ = true;
    Fill();
}

void PulseOutput::WriteSilence() {
    std::size_t bytes = pa_stream_writable_size(stream_);
    if (bytes == static_cast<std::size_t>(-1) || bytes < sizeof(float)) {
        return;
    }
    void* data = nullptr;
    if (pa_stream_begin_write(stream_, &data, &bytes) < 0 || !data) {
        return;
    }
    bytes -= bytes % sizeof(float);
    std::fill_n(static_cast<float*>(data), bytes / sizeof(float), 0.0f);
    pa_stream_write(stream_, data, bytes, nullptr, 0, PA_SEEK_RELATIVE);
}

}  // namespace lark
