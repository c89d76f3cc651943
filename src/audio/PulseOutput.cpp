#include "audio/PulseOutput.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace lark {

namespace {

// What the desktop's sound settings show for the piece.
constexpr const char* kName = "Larkspool 8";
constexpr const char* kIconName = "larkspool8";
constexpr const char* kAppId = "org.example.Larkspool8";
// Below the sound server's own threads, above everything else.
constexpr int kRealtimePriority = 5;

void OnWritable(pa_stream* /*stream*/, size_t /*bytes*/, void* user) {
    static_cast<PulseOutput*>(user)->Fill(true);
}

void OnLatencyUpdate(pa_stream* /*stream*/, void* user) {
    // The first timing report may come after the first request for data, which waited for it.
    static_cast<PulseOutput*>(user)->Fill(true);
}

void OnUnderflow(pa_stream* /*stream*/, void* user) {
    static_cast<PulseOutput*>(user)->NoteUnderflow();
}

void OnStarted(pa_stream* /*stream*/, void* user) {
    static_cast<PulseOutput*>(user)->NoteStarted();
}

}  // namespace

PulseOutput::PulseOutput(Key, Mixer& mixer, const Clock& clock, Tuning tuning)
    : mixer_(mixer),
      clock_(clock),
      tuning_(tuning),
      idleStop_(tuning.idleStopUs),
      timeline_(OutputTimeline::Tuning{.driftUs = tuning.driftUs,
                                       .anchorReports = tuning.anchorReports}) {
    // Twice what the server may hold, and the refill on top of it.
    const double mostUs = std::max(tuning_.pulseAudio.bufferUs, tuning_.pipeWire.bufferUs);
    const auto frames =
        static_cast<std::size_t>(std::max(4 * mostUs, 500'000.0) * kOutputRateHz / 1e6);
    sent_.resize(frames);
    out_.resize(frames);
}

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
    idleStop_.Wake();
    // Now, not at the next refill: a stopped stream starts, and a running one adds the Play into
    // what it sent ahead before the device takes it.
    pa_mainloop_wakeup(loop_);
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
    // Asked now, while the app starts, rather than when the first Play is waiting for sound.
    buffering_ = BufferingForServer();
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
    const std::uint64_t wakes = idleStop_.Wakes() >> 1;  // counted in twos
    const bool woken = wakes != wakesSeen_;
    wakesSeen_ = wakes;
    if (woken) {
        idle_ = false;  // a Play came as the stream was about to end: it goes on
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
        EndStream();  // no Play has come since the decision, or it would have been seen
    }
    if (woken) {
        Fill(false);  // the Plays sent go into what was sent ahead
    }
}

const PulseOutput::Buffering* PulseOutput::BufferingForServer() {
    struct Reply {
        bool pipeWire = false;
    } reply;
    pa_operation* asking = pa_context_get_server_info(
        context_,
        [](pa_context*, const pa_server_info* info, void* user) {
            static_cast<Reply*>(user)->pipeWire =
                info && info->server_name && std::strstr(info->server_name, "PipeWire");
        },
        &reply);
    if (asking) {
        // One round trip; a server that goes away cancels it.
        while (pa_operation_get_state(asking) == PA_OPERATION_RUNNING &&
               pa_mainloop_iterate(loop_, 1, nullptr) >= 0) {
        }
        pa_operation_unref(asking);
    }
    return reply.pipeWire ? &tuning_.pipeWire : &tuning_.pulseAudio;
}

void PulseOutput::StartStream() {
    if (!buffering_) {  // a server found again
        buffering_ = BufferingForServer();
    }
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kOutputRateHz, 1};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(props, PA_PROP_MEDIA_ICON_NAME, kIconName);
    if (buffering_->graphCycle) {
        pa_proplist_sets(props, "node.latency", buffering_->graphCycle);
    }
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
        pa_usec_to_bytes(static_cast<pa_usec_t>(buffering_->bufferUs), &format));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(buffering_->refillUs), &format));
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
    sentFirst_ = 0;
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
    buffering_ = nullptr;  // the next server may be another
    if (!context_) {
        return;
    }
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

void PulseOutput::Fill(bool requested) {
    if (!stream_ || pa_stream_get_state(stream_) != PA_STREAM_READY) {
        return;
    }
    // Only when the server asks: writing whatever little it would take at any wakeup would
    // make more wakeups, on both sides.
    const std::size_t bytes = requested ? pa_stream_writable_size(stream_) : 0;
    std::int64_t fresh = bytes == static_cast<std::size_t>(-1)
                             ? 0
                             : static_cast<std::int64_t>(bytes / sizeof(float));
    const auto capacity = static_cast<std::int64_t>(sent_.size());
    if (!started_) {
        // Until the server plays the stream (a suspended device may take tens of milliseconds
        // to resume), nobody can say when a frame will sound: silence goes ahead, and the
        // Plays wait for the timeline, anchored once it plays.
        SendSilence(fresh);
        return;
    }
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &latency, &negative) < 0) {
        return;
    }
    const pa_timing_info* timing = pa_stream_get_timing_info(stream_);
    const double deviceUs = timing ? static_cast<double>(timing->sink_usec) : 0.0;
    const Buffering& buffering = *buffering_;
    if (latencyHeldFor_ != &buffering) {
        // Held for the life of the process (or of a server that buffers alike): what the device
        // keeps buffered before a frame is heard, the time a rewrite needs to reach the server,
        // a read cycle the server may have taken beyond its report and one more for how far the
        // report the timeline anchored on may be off from the latest, and a margin.
        timeline_.HoldLatency(deviceUs + buffering.guardUs + 2 * buffering.readCycleUs +
                              tuning_.safetyUs);
        latencyHeldFor_ = &buffering;
        latencyUs_.store(timeline_.LatencyUs(), std::memory_order_relaxed);
    }
    const double aheadUs = AheadOfDeviceUs(timing, negative ? 0.0 : static_cast<double>(latency));
    const FrameMap map = timeline_.Update(clock_.Microseconds(), aheadUs, framesDone_,
                                          static_cast<unsigned long>(fresh), underflow_);
    underflow_ = false;
    if (!timeline_.Settled()) {
        // A report taken as the stream starts can be stale: the Plays wait for a fresh one.
        if (pa_operation* update = pa_stream_update_timing_info(stream_, nullptr, nullptr)) {
            pa_operation_unref(update);  // its report comes through OnLatencyUpdate
        }
        SendSilence(fresh);
        return;
    }
    // What the device holds already, or will before a rewrite arrives, stays as it was sent.
    const std::int64_t earliest = std::clamp<std::int64_t>(
        framesDone_ -
            std::llround((aheadUs - deviceUs - buffering.guardUs - buffering.readCycleUs) *
                         kOutputRateHz / 1e6),
        sentFirst_, framesDone_);
    fresh = std::min(fresh, capacity - (framesDone_ - earliest));
    Keep(earliest);
    const std::int64_t end = framesDone_ + fresh;
    const std::int64_t changed =
        mixer_.Mix(sent_.data(), sentFirst_, static_cast<std::size_t>(end - sentFirst_),
                   framesDone_, earliest, map);
    if (changed < end) {
        Send(changed, end);
    }
    framesDone_ = end;
    idle_ = !idleStop_.Rendered(fresh, mixer_.SoundingVoices() > 0);
    reanchors_.store(timeline_.Reanchors(), std::memory_order_relaxed);
}

double PulseOutput::AheadOfDeviceUs(const pa_timing_info* timing, double interpolatedUs) const {
    if (!timing || timing->read_index_corrupt) {
        return interpolatedUs;
    }
    // The server's last report carried forward at the stream's rate: it holds to a fraction of
    // a millisecond until the next report, where the library's own interpolation wanders by
    // several milliseconds a second and may wander the timeline into a needless re-anchor.
    timeval now{};
    pa_gettimeofday(&now);
    const double reportAgeUs = static_cast<double>(pa_timeval_load(&now)) -
                               static_cast<double>(pa_timeval_load(&timing->timestamp));
    const auto readFrames = static_cast<double>(timing->read_index / std::int64_t{sizeof(float)});
    return (static_cast<double>(framesDone_) - readFrames) * 1e6 / kOutputRateHz +
           static_cast<double>(timing->sink_usec) - reportAgeUs;
}

void PulseOutput::SendSilence(std::int64_t fresh) {
    const auto capacity = static_cast<std::int64_t>(sent_.size());
    fresh = std::min(fresh, capacity);
    Keep(framesDone_ + fresh - capacity);
    std::fill_n(sent_.begin() + (framesDone_ - sentFirst_), fresh, 0.0f);
    Send(framesDone_, framesDone_ + fresh);
    framesDone_ += fresh;
}

void PulseOutput::Keep(std::int64_t from) {
    if (from <= sentFirst_) {
        return;
    }
    from = std::min(from, framesDone_);
    std::copy(sent_.begin() + (from - sentFirst_), sent_.begin() + (framesDone_ - sentFirst_),
              sent_.begin());
    sentFirst_ = from;
}

void PulseOutput::Send(std::int64_t from, std::int64_t end) {
    if (end <= from) {
        return;
    }
    const float* mix = sent_.data() + (from - sentFirst_);
    const auto frames = static_cast<std::size_t>(end - from);
    for (std::size_t i = 0; i < frames; ++i) {
        out_[i] = std::clamp(mix[i], -1.0f, 1.0f);
    }
    // Back to the first frame that changed, which the server has not played yet.
    const auto back = (from - framesDone_) * static_cast<std::int64_t>(sizeof(float));
    pa_stream_write(stream_, out_.data(), frames * sizeof(float), nullptr, back, PA_SEEK_RELATIVE);
}

void PulseOutput::NoteStarted() {
    started_ = true;
    Fill(true);
}

}  // namespace lark
