#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "audio/StreamEngine.h"

namespace lark::testing {

// Allocations and frees on this thread while `call` runs (RealTimeTest.cpp counts them).
std::uint64_t AllocationsIn(const std::function<void()>& call);

// A sound server's playback stream in virtual time, as the engine meets it through the client
// library: it asks for data to keep its buffer full, takes frames a cycle at a time, hears them a
// device latency later, reports its read position now and then, runs dry and waits to refill
// (prebuffering), and can stall. Writes reach it, and its reports reach the app, a moment after
// they are sent; a write into frames it has taken is dropped there, as the real servers do. What it
// takes goes, in order, to the `Heard` recording, as a recorder on its sink's monitor would get it.
// Every call into the engine is one the audio or control thread makes, and counts what it allocates
// or frees.
struct ServerModel {
    double deviceUs = 5'000;        // from taking a frame to its being heard
    std::int64_t cycleFrames = 48;  // taken at a time
    double transitUs = 500;         // a write or a report reaches the other side this much later
    // What the server keeps queued, and waits for after running dry; what it asks for at a time.
    std::int64_t bufferFrames = 9600, refillFrames = 4800;
    double openUs = 2'000;  // from asking for a stream to the server's first request
    bool catchUp = false;   // after a stall it takes at once what it missed, as a null sink does
    // Its reports count the wait for the next cycle into the device latency (PulseAudio), or
    // report none at all (PipeWire's service).
    bool reportsDevice = true;
    // How far the first report after each start is off the later ones, as PipeWire's service's
    // can be.
    double firstReportOffUs = 0;
};

class SimulatedServer final : public StreamEngine::Control {
  public:
    static constexpr double kFrameUs = 1e6 / kOutputRateHz;
    struct Clip {
        std::shared_ptr<ClipData> data;
        double stampUs;
    };
    // One Play as heard: where in the recording its first and last samples are, how often each
    // was heard, and when its first sample was heard. -1 where it was not found.
    struct Onset {
        std::int64_t first = -1, last = -1;
        int starts = 0, ends = 0;
        double heardUs = -1;
    };

    explicit SimulatedServer(ServerModel model, ServerBuffering buffering = {})
        : model_(model), buffering_(buffering), engine_(mixer_, idleStop_, *this, {}) {}

    StreamEngine& engine() { return engine_; }
    const Mixer& mixer() const { return mixer_; }
    int StreamsOpened() const { return opened_; }
    const std::vector<Clip>& Clips() const { return clips_; }
    std::uint64_t engineAllocations = 0;

    // A Play from the GUI thread now: a clip whose first sample is +k/4096 and last -k/4096,
    // k counting the Plays from 1, so the recording tells where each began and ended.
    void Play(std::size_t frames = 2400) {
        const auto k = static_cast<float>(clips_.size() + 1);
        auto clip = std::make_shared<ClipData>(ClipData{kOutputRateHz, std::vector<float>(frames)});
        clip->samples.front() = k / 4096;
        clip->samples.back() = -k / 4096;
        clips_.push_back({clip, nowUs_});
        mixer_.Submit(PlayCommand{clip.get(), nowUs_, 1});
        if (idleStop_.WakeNeedsStart()) {
            Open();
        } else {
            Send([&] { return engine_.Woken(report_, nowUs_); });
        }
    }
    // The server does nothing for a while: no cycles, reports, requests or writes taken in.
    void Stall(double forUs) { stalledUntilUs_ = nowUs_ + forUs; }
    // The app's audio thread is held up: the server's requests go unanswered meanwhile.
    void Starve(double forUs) { starvedUntilUs_ = nowUs_ + forUs; }
    // The server went away; the app hears of it and drops the stream.
    void Lose() {
        stream_.reset();
        Engine([&] { engine_.Lost(); });
        idleStop_.Stopped();
    }

    void RunFor(double us) {
        for (const double endUs = nowUs_ + us; nowUs_ < endUs;) {
            nowUs_ = std::min(endUs, nowUs_ + 250);
            Tick();
        }
    }

    Onset Find(std::size_t play) const {
        const float k = static_cast<float>(play + 1) / 4096;
        Onset onset;
        for (std::size_t i = 0; i < heard_.size(); ++i) {
            if (heard_[i] == k && onset.starts++ == 0) {
                onset.first = static_cast<std::int64_t>(i);
            } else if (heard_[i] == -k) {
                onset.last = static_cast<std::int64_t>(i);
                ++onset.ends;
            }
        }
        if (onset.first >= 0) {
            const auto at = std::prev(heardAt_.upper_bound(onset.first));
            onset.heardUs = at->second + static_cast<double>(onset.first - at->first) * kFrameUs;
        }
        return onset;
    }

    // [audio] The engine's asks, carried out at once (as the control thread soon would).
    void Ask(unsigned asks) override {
        reportDue_ = reportDue_ || (asks & StreamEngine::kUpdateTiming);
        closeDue_ = closeDue_ || (asks & StreamEngine::kClose);
    }

  private:
    // An open stream: the server's read and write positions, what it holds and what is on its
    // way to it.
    struct Stream {
        explicit Stream(double nowUs) : nextCycleUs(nowUs), openedAtUs(nowUs) {}
        double nextCycleUs, openedAtUs;
        std::int64_t read = 0, write = 0, sent = 0;
        bool playing = false;
        int reportsPlaying = 0;  // since the last start
        double reportEveryUs = 10'000, nextReportUs = -1;
        std::map<std::int64_t, float> buffer;
        struct Queued {
            double atUs;
            std::int64_t from;
            std::vector<float> samples;
        };
        std::deque<Queued> queued;
    };

    void Engine(const std::function<void()>& call) { engineAllocations += AllocationsIn(call); }
    void Send(const std::function<StreamEngine::Write()>& call) {
        StreamEngine::Write w;
        Engine([&] { w = call(); });
        if (w.frames > 0 && stream_) {
            const std::int64_t from = stream_->sent + w.seekFrames;
            stream_->queued.push_back(
                {nowUs_ + model_.transitUs, from, {w.samples, w.samples + w.frames}});
            stream_->sent = from + static_cast<std::int64_t>(w.frames);
        }
    }

    void Open() {
        closeDue_ = false;  // the ending stream closes first, as the control thread does
        if (stream_) {
            Engine([&] { engine_.Closed(); });
        }
        stream_.emplace(nowUs_);
        reports_.clear();  // the last stream's
        ++opened_;
        Engine([&] { engine_.Opening(buffering_); });
    }

    void Tick() {
        // Reports that have reached the app, which learns from them as they come.
        for (; !reports_.empty() && reports_.front().madeUs + model_.transitUs <= nowUs_;
             reports_.pop_front()) {
            report_ = reports_.front().report;
            reportMadeUs_ = reports_.front().madeUs;
            report_.ageUs = nowUs_ - reportMadeUs_;
            Send([&] { return engine_.Reported(report_, nowUs_); });
        }
        report_.ageUs = nowUs_ - reportMadeUs_;
        if (closeDue_) {
            closeDue_ = false;
            stream_.reset();
            Engine([&] { engine_.Closed(); });
        }
        if (!stream_ || nowUs_ < stalledUntilUs_ || nowUs_ < stream_->openedAtUs + model_.openUs) {
            return;
        }
        Stream& s = *stream_;
        if (stalledUntilUs_ > 0) {  // just resumed
            s.nextCycleUs = model_.catchUp ? s.nextCycleUs : std::max(s.nextCycleUs, nowUs_);
            stalledUntilUs_ = 0;
        }
        // Writes that have reached the server; a part before the read position is dropped.
        for (; !s.queued.empty() && s.queued.front().atUs <= nowUs_; s.queued.pop_front()) {
            const auto& q = s.queued.front();
            for (std::size_t i = 0; i < q.samples.size(); ++i) {
                if (q.from + static_cast<std::int64_t>(i) >= s.read) {
                    s.buffer[q.from + static_cast<std::int64_t>(i)] = q.samples[i];
                }
            }
            s.write = q.from + static_cast<std::int64_t>(q.samples.size());
        }
        // Cycles due: each takes a cycle's frames, or silence while it waits for data.
        for (; s.nextCycleUs <= nowUs_; s.nextCycleUs += model_.cycleFrames * kFrameUs) {
            Cycle(s);
        }
        // The client library's timing reports: soon after a start, then further apart.
        if (reportDue_ || (s.nextReportUs >= 0 && nowUs_ >= s.nextReportUs)) {
            reportDue_ = false;
            const bool first = s.playing && s.reportsPlaying++ == 0;
            reports_.push_back(
                {{.serial = ++serial_,
                  .readKnown = true,
                  .readFrame = s.read,
                  .deviceUs =
                      (model_.reportsDevice ? model_.deviceUs + (s.nextCycleUs - nowUs_) : 0) +
                      (first ? model_.firstReportOffUs : 0),
                  .playing = s.playing},
                 nowUs_});
            s.nextReportUs = nowUs_ + s.reportEveryUs;
            s.reportEveryUs = std::min(1'500'000.0, s.reportEveryUs * 2);
        }
        // Asks for data to keep its buffer full.
        const std::int64_t missing = model_.bufferFrames - (s.sent - s.read);
        if (missing >= model_.refillFrames && nowUs_ >= starvedUntilUs_) {
            Send([&] { return engine_.Requested(missing, report_, nowUs_); });
        }
    }

    void Cycle(Stream& s) {
        if (!s.playing && s.write - s.read >= model_.bufferFrames) {
            s.playing = true;
            s.reportsPlaying = 0;
            s.nextReportUs = s.nextReportUs < 0 ? nowUs_ : s.nextReportUs;
            Engine([&] { engine_.Started(nowUs_); });
        }
        // The sink plays silence while it waits for data.
        const std::int64_t have = s.playing ? std::min(model_.cycleFrames, s.write - s.read) : 0;
        heardAt_[static_cast<std::int64_t>(heard_.size())] = s.nextCycleUs + model_.deviceUs;
        for (std::int64_t i = 0; i < model_.cycleFrames; ++i) {
            heard_.push_back(i < have ? s.buffer[s.read + i] : 0.0f);
            s.buffer.erase(s.read + i);
        }
        s.read += have;
        if (s.playing && have < model_.cycleFrames) {
            s.playing = false;
            Engine([&] { engine_.Underflow(nowUs_); });
        }
    }

    ServerModel model_;
    ServerBuffering buffering_;
    Mixer mixer_;
    IdleStop idleStop_{false};
    StreamEngine engine_;
    double nowUs_ = 1'000'000;
    std::vector<Clip> clips_;
    std::optional<Stream> stream_;
    bool closeDue_ = false, reportDue_ = false;
    int opened_ = 0;
    double stalledUntilUs_ = 0, starvedUntilUs_ = 0, reportMadeUs_ = 0;
    std::uint64_t serial_ = 0;
    ServerReport report_;  // the last that reached the app
    struct Sent {
        ServerReport report;
        double madeUs;
    };
    std::deque<Sent> reports_;                // on their way to it
    std::vector<float> heard_;                // the sink's monitor
    std::map<std::int64_t, double> heardAt_;  // where in heard_ a cycle began, and when heard
};

}  // namespace lark::testing
