#include "audio/PulseOutput.h"

#include <pthread.h>
#include <pulse/pulseaudio.h>
#include <sched.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cassert>
#include <cstring>

namespace lark {

namespace {

// What the desktop's sound settings show for the piece.
constexpr const char* kName = "Larkspool 8";
constexpr const char* kIconName = "larkspool8";
constexpr const char* kAppId = "org.example.Larkspool8";
// Below the sound server's own threads, above everything else.
constexpr int kRealtimePriority = 5;
constexpr std::size_t kFrameBytes = sizeof(float);

PulseOutput& Of(void* user) {
    return *static_cast<PulseOutput*>(user);
}

}  // namespace

PulseOutput::PulseOutput(Key, Mixer& mixer, const Clock& clock, Tuning tuning)
    : clock_(clock), tuning_(tuning), engine_(mixer, idleStop_, *this, tuning.engine) {}

std::unique_ptr<PulseOutput> PulseOutput::Open(Mixer& mixer, const Clock& clock,
                                               std::string& whyNot, Tuning tuning) {
    auto output = std::make_unique<PulseOutput>(Key{}, mixer, clock, tuning);
    PulseOutput& self = *output;
    self.wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    self.loop_ = pa_threaded_mainloop_new();
    if (self.wakeFd_ < 0 || !self.loop_) {
        whyNot = "cannot make the sound server client's loop";
        return nullptr;
    }
    pa_threaded_mainloop_set_name(self.loop_, "lark-output");
    if (pa_threaded_mainloop_start(self.loop_) < 0) {
        whyNot = "cannot start the sound server client's thread";
        return nullptr;
    }

    pa_threaded_mainloop_lock(self.loop_);  // also while asking the loop for its one-off run
    // Where the system allows it, so a busy machine does not starve the output; elsewhere this
    // changes nothing.
    pa_threaded_mainloop_once_unlocked(
        self.loop_,
        [](pa_threaded_mainloop*, void*) {
            sched_param param{};
            param.sched_priority = kRealtimePriority;
            pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
        },
        nullptr);
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(self.loop_);
    self.wakeEvent_ = api->io_new(
        api, self.wakeFd_, PA_IO_EVENT_INPUT,
        [](pa_mainloop_api*, pa_io_event*, int, pa_io_event_flags_t, void* user) {
            Of(user).OnWake();
        },
        &self);
    bool up = self.Connect(whyNot);
    while (up) {
        const pa_context_state_t state = pa_context_get_state(self.context_);
        if (state == PA_CONTEXT_READY) {
            break;
        }
        if (!PA_CONTEXT_IS_GOOD(state)) {
            whyNot = pa_strerror(pa_context_errno(self.context_));
            up = false;
            break;
        }
        pa_threaded_mainloop_wait(self.loop_);
    }
    if (up) {
        // Asked now, while the app starts, rather than when the first Play waits for sound.
        self.buffering_ = self.AskIfPipeWire() ? &self.tuning_.pipeWire : &self.tuning_.pulseAudio;
    }
    pa_threaded_mainloop_unlock(self.loop_);
    if (!up) {
        whyNot = "no sound server: " + whyNot;
        return nullptr;  // the destructor takes down what was made
    }
    self.control_ = std::thread([&self] { self.ControlLoop(); });
    return output;
}

PulseOutput::~PulseOutput() {
    if (control_.joinable()) {
        Ask(kQuit);
        control_.join();
    } else if (loop_) {
        pa_threaded_mainloop_lock(loop_);
        quitting_ = true;
        EndStream();
        DropContext();
        pa_threaded_mainloop_unlock(loop_);
    }
    if (loop_) {
        if (wakeEvent_) {
            pa_threaded_mainloop_lock(loop_);
            pa_threaded_mainloop_get_api(loop_)->io_free(wakeEvent_);
            pa_threaded_mainloop_unlock(loop_);
        }
        pa_threaded_mainloop_stop(loop_);
        pa_threaded_mainloop_free(loop_);
    }
    if (wakeFd_ >= 0) {
        close(wakeFd_);
    }
}

void PulseOutput::Wake() {
    if (idleStop_.WakeNeedsStart()) {
        Ask(kOpen);
        return;
    }
    // Now, not at the next refill: the Play goes into what was sent ahead before the server
    // takes it.
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = write(wakeFd_, &one, sizeof one);
}

void PulseOutput::Ask(unsigned asks) {
    asks_.fetch_or(asks);
    asks_.notify_one();
}

// --- the library's thread

void PulseOutput::OnContextState(pa_context* context) {
    pa_threaded_mainloop_signal(loop_, 0);  // for a thread that waits on the connection
    const pa_context_state_t state = pa_context_get_state(context);
    if (state == PA_CONTEXT_READY && openWhenConnected_) {
        Ask(kOpen);
    } else if (!PA_CONTEXT_IS_GOOD(state) && !quitting_) {
        Ask(kDrop);
    }
}

void PulseOutput::OnStreamState(pa_stream* stream) {
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (state == PA_STREAM_READY) {
        engine_.Ready();
    } else if (!PA_STREAM_IS_GOOD(state) && !quitting_) {
        Ask(kDrop);
    }
}

void PulseOutput::OnWritable(std::size_t bytes) {
    assert(pa_threaded_mainloop_in_thread(loop_));
    Send(engine_.Requested(static_cast<std::int64_t>(bytes / kFrameBytes), Report(),
                           clock_.Microseconds()));
}

void PulseOutput::OnReport() {
    assert(pa_threaded_mainloop_in_thread(loop_));
    Send(engine_.Reported(Report(), clock_.Microseconds()));
}

void PulseOutput::OnUnderflow() {
    assert(pa_threaded_mainloop_in_thread(loop_));
    engine_.Underflow(clock_.Microseconds());
}

void PulseOutput::OnStarted() {
    assert(pa_threaded_mainloop_in_thread(loop_));
    engine_.Started(clock_.Microseconds());
}

void PulseOutput::OnWake() {
    assert(pa_threaded_mainloop_in_thread(loop_));
    std::uint64_t count = 0;
    [[maybe_unused]] const auto n = read(wakeFd_, &count, sizeof count);
    if (stream_) {
        Send(engine_.Woken(Report(), clock_.Microseconds()));
    }
}

ServerReport PulseOutput::Report() const {
    ServerReport report;
    const pa_timing_info* timing = stream_ ? pa_stream_get_timing_info(stream_) : nullptr;
    if (!timing) {
        return report;
    }
    const auto madeUs = static_cast<double>(pa_timeval_load(&timing->timestamp));
    timeval now{};
    pa_gettimeofday(&now);
    report.serial = pa_timeval_load(&timing->timestamp);
    report.readKnown = timing->read_index_corrupt == 0;
    report.readFrame = timing->read_index / static_cast<std::int64_t>(kFrameBytes);
    report.ageUs = static_cast<double>(pa_timeval_load(&now)) - madeUs;
    report.deviceUs = static_cast<double>(timing->sink_usec);
    report.playing = timing->playing != 0;
    pa_usec_t latency = 0;
    int negative = 0;
    if (pa_stream_get_latency(stream_, &latency, &negative) == 0 && !negative) {
        report.interpolatedAheadUs = static_cast<double>(latency);
    }
    return report;
}

void PulseOutput::Send(const StreamEngine::Write& write) {
    if (write.frames == 0 || !stream_) {
        return;
    }
    pa_stream_write(stream_, write.samples, write.frames * kFrameBytes, nullptr,
                    write.seekFrames * static_cast<std::int64_t>(kFrameBytes), PA_SEEK_RELATIVE);
}

// --- the control thread

void PulseOutput::ControlLoop() {
    pthread_setname_np(pthread_self(), "lark-output-ctl");
    for (;;) {
        asks_.wait(0);
        const unsigned asks = asks_.exchange(0);
        pa_threaded_mainloop_lock(loop_);
        if (asks & kQuit) {
            quitting_ = true;
            EndStream();
            DropContext();
            pa_threaded_mainloop_unlock(loop_);
            return;
        }
        if (asks & kDrop) {
            // The server, or the stream, went away: what was due would only come late.
            EndStream();
            if (context_ && !PA_CONTEXT_IS_GOOD(pa_context_get_state(context_))) {
                DropContext();
            }
            engine_.Lost();
            idleStop_.Stopped();
        }
        if (asks & StreamEngine::kClose) {
            EndStream();
            engine_.Closed();
        }
        if (asks & kOpen) {
            OpenStream();
        }
        if ((asks & StreamEngine::kUpdateTiming) && stream_ &&
            pa_stream_get_state(stream_) == PA_STREAM_READY) {
            if (pa_operation* update = pa_stream_update_timing_info(stream_, nullptr, nullptr)) {
                pa_operation_unref(update);  // its report comes through the latency callback
            }
        }
        pa_threaded_mainloop_unlock(loop_);
    }
}

bool PulseOutput::Connect(std::string& whyNot) {
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kName);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, kAppId);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, kIconName);
    // A few kilobytes every refill go as well through the socket: with shared memory, the
    // server hands every block back with a message of its own, which wakes the thread twice
    // as often.
    pa_proplist_sets(props, "context.force.disable.shm", "yes");
    context_ = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(loop_), kName, props);
    pa_proplist_free(props);
    if (!context_) {
        whyNot = "cannot make a client";
        return false;
    }
    pa_context_set_state_callback(
        context_, [](pa_context* c, void* user) { Of(user).OnContextState(c); }, this);
    // Never start a server of our own: a user who has none wants none.
    if (pa_context_connect(context_, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        whyNot = pa_strerror(pa_context_errno(context_));
        DropContext();
        return false;
    }
    return true;
}

bool PulseOutput::AskIfPipeWire() {
    struct Reply {
        pa_threaded_mainloop* loop;
        bool pipeWire = false;
    } reply{loop_};
    pa_operation* asking = pa_context_get_server_info(
        context_,
        [](pa_context*, const pa_server_info* info, void* user) {
            auto& r = *static_cast<Reply*>(user);
            r.pipeWire = info && info->server_name && std::strstr(info->server_name, "PipeWire");
            pa_threaded_mainloop_signal(r.loop, 0);
        },
        &reply);
    if (asking) {
        // One round trip; a server that goes away cancels it.
        while (pa_operation_get_state(asking) == PA_OPERATION_RUNNING) {
            pa_threaded_mainloop_wait(loop_);
        }
        pa_operation_unref(asking);
    }
    return reply.pipeWire;
}

void PulseOutput::OpenStream() {
    assert(!pa_threaded_mainloop_in_thread(loop_));
    if (!context_) {
        std::string whyNot;
        openWhenConnected_ = Connect(whyNot);  // asks again once connected
        if (!openWhenConnected_) {
            engine_.Lost();
            idleStop_.Stopped();
        }
        return;
    }
    if (pa_context_get_state(context_) != PA_CONTEXT_READY) {
        openWhenConnected_ = true;
        return;
    }
    openWhenConnected_ = false;
    EndStream();  // one that was ending makes way
    engine_.Closed();
    if (!buffering_) {  // a server found again may be another
        buffering_ = AskIfPipeWire() ? &tuning_.pipeWire : &tuning_.pulseAudio;
    }
    const bool pipeWire = buffering_ == &tuning_.pipeWire;
    const pa_sample_spec format{PA_SAMPLE_FLOAT32NE, kOutputRateHz, 1};
    pa_proplist* props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "music");
    pa_proplist_sets(props, PA_PROP_MEDIA_ICON_NAME, kIconName);
    if (pipeWire) {
        pa_proplist_sets(props, "node.latency", tuning_.pipeWireGraphCycle);
    }
    stream_ = pa_stream_new_with_proplist(context_, kName, &format, nullptr, props);
    pa_proplist_free(props);
    if (!stream_) {
        engine_.Lost();
        idleStop_.Stopped();
        return;
    }
    pa_stream_set_state_callback(
        stream_, [](pa_stream* s, void* user) { Of(user).OnStreamState(s); }, this);
    pa_stream_set_write_callback(
        stream_, [](pa_stream*, size_t bytes, void* user) { Of(user).OnWritable(bytes); }, this);
    pa_stream_set_latency_update_callback(
        stream_, [](pa_stream*, void* user) { Of(user).OnReport(); }, this);
    pa_stream_set_underflow_callback(
        stream_, [](pa_stream*, void* user) { Of(user).OnUnderflow(); }, this);
    pa_stream_set_started_callback(
        stream_, [](pa_stream*, void* user) { Of(user).OnStarted(); }, this);
    pa_buffer_attr attr{};
    attr.maxlength = static_cast<std::uint32_t>(-1);
    attr.tlength = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(buffering_->bufferUs), &format));
    attr.prebuf = static_cast<std::uint32_t>(-1);
    attr.minreq = static_cast<std::uint32_t>(
        pa_usec_to_bytes(static_cast<pa_usec_t>(buffering_->refillUs), &format));
    attr.fragsize = static_cast<std::uint32_t>(-1);
    engine_.Opening(*buffering_);
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE | PA_STREAM_ADJUST_LATENCY);
    if (pa_stream_connect_playback(stream_, nullptr, &attr, flags, nullptr, nullptr) < 0) {
        EndStream();
        engine_.Lost();
        idleStop_.Stopped();
    }
}

void PulseOutput::EndStream() {
    assert(!pa_threaded_mainloop_in_thread(loop_));
    if (!stream_) {
        return;
    }
    pa_stream_set_state_callback(stream_, nullptr, nullptr);
    pa_stream_set_write_callback(stream_, nullptr, nullptr);
    pa_stream_set_latency_update_callback(stream_, nullptr, nullptr);
    pa_stream_set_underflow_callback(stream_, nullptr, nullptr);
    pa_stream_set_started_callback(stream_, nullptr, nullptr);
    pa_stream_disconnect(stream_);
    pa_stream_unref(stream_);
    stream_ = nullptr;
}

void PulseOutput::DropContext() {
    assert(!pa_threaded_mainloop_in_thread(loop_));
    buffering_ = nullptr;  // the next server may be another
    openWhenConnected_ = false;
    if (!context_) {
        return;
    }
    pa_context_set_state_callback(context_, nullptr, nullptr);
    pa_context_disconnect(context_);
    pa_context_unref(context_);
    context_ = nullptr;
}

}  // namespace lark
