#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

#include "audio/StreamEngine.h"

namespace lark::testing {

// A sound server's playback stream in virtual time, as the engine meets it through the client
// library: it asks for data to keep its buffer full, takes frames a cycle at a time, hears them a
// device latency later, reports its read position now and then, runs dry and waits to refill
// (prebuffering), and can stall. Writes reach it a moment after they are sent; a write into
// frames it has taken is dropped there, as the real servers do. What it takes goes, in order, to
// the `Heard` recording, as a recorder on its sink's monitor would get it.
struct ServerModel {
    double deviceUs = 5'000;        // from taking a frame to its being heard
    std::int64_t cycleFrames = 48;  // taken at a time
    double transitUs = 500;         // a write reaches the server this much later
    std::int64_t bufferFrames =
        9600;  // what the server keeps queued, and waits for after running dry
    std::int64_t refillFrames = 4800;  // asked for at a time
    double openUs = 2'000;             // from asking for a stream to the server's first request
    bool catchUp = false;  // after a stall it takes at once what it missed, as a null sink does
    // Its reports count the wait for the next cycle into the device latency (PulseAudio), or
    // report none at all (PipeWire's service).
    bool reportsDevice = true;
};

class SimulatedServer final : public StreamEngine::Control {
  public:
    struct Clip {
        std::shared_ptr<ClipData> data;
        double stampUs;
    };
    // One Play as heard: where in the recording its first and last samples are, and when its
    // first sample was heard. -1 where it was not found.
    struct Onset {
        std::int64_t first = -1, last = -1;
        int starts = 0, ends = 0;  // how often its first and last samples were heard
        double heardUs = -1;
    };

    explicit SimulatedServer(ServerModel model, StreamEngine::Tuning tuning = {},
                             ServerBuffering buffering = {})
        : model_(model), buffering_(buffering), engine_(mixer_, idleStop_, *this, tuning) {}

    StreamEngine& engine() { return engine_; }
    Mixer& mixer() { return mixer_; }
    const Mixer& mixer() const { return mixer_; }
    double Now() const { return nowUs_; }
    const std::vector<float>& Heard() const { return heard_; }
    int StreamsOpened() const { return opened_; }
    // Wraps every call into the engine from the audio or control side.
    std::function<void(const std::function<void()>&)> aroundEngine = [](const auto& f) { f(); };

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
            Send(EngineWrite([&] { return engine_.Woken(LastReport(), nowUs_); }));
        }
    }
    // The server does nothing for a while: no cycles, reports, requests or writes taken in.
    void Stall(double forUs) { stalledUntilUs_ = nowUs_ + forUs; }
    // The app's audio thread is held up: the server's requests go unanswered meanwhile.
    void Starve(double forUs) { starvedUntilUs_ = nowUs_ + forUs; }
    // The server went away; the app hears of it and drops the stream.
    void Lose() {
        streamOpen_ = false;
        Engine([&] { engine_.Lost(); });
        idleStop_.Stopped();
    }

    void RunFor(double us) { RunUntil(nowUs_ + us); }
    void RunUntil(double endUs) {
        constexpr double kTickUs = 250;
        while (nowUs_ < endUs) {
            nowUs_ = std::min(endUs, nowUs_ + kTickUs);
            Tick();
        }
    }

    Onset Find(std::size_t play) const {
        const float k = static_cast<float>(play + 1) / 4096;
        Onset onset;
        for (std::size_t i = 0; i < heard_.size(); ++i) {
            if (heard_[i] == k) {
                onset.first = onset.starts++ == 0 ? static_cast<std::int64_t>(i) : onset.first;
            } else if (heard_[i] == -k) {
                onset.last = static_cast<std::int64_t>(i);
                ++onset.ends;
            }
        }
        if (onset.first >= 0) {
            auto at = heardAt_.upper_bound(onset.first);
            --at;
            onset.heardUs = at->second + static_cast<double>(onset.first - at->first) * kFrameUs;
        }
        return onset;
    }
    const std::vector<Clip>& Clips() const { return clips_; }

    // [audio] The engine's asks, carried out at once (as the control thread soon would).
    void Ask(unsigned asks) override {
        if (asks & StreamEngine::kUpdateTiming) {
            reportDue_ = true;
        }
        if (asks & StreamEngine::kClose) {
            closeDue_ = true;
        }
    }

  private:
    static constexpr double kFrameUs = 1e6 / kOutputRateHz;

    void Engine(const std::function<void()>& call) { aroundEngine(call); }
    StreamEngine::Write EngineWrite(const std::function<StreamEngine::Write()>& call) {
        StreamEngine::Write write;
        aroundEngine([&] { write = call(); });
        return write;
    }

    void Open() {
        closeDue_ = false;  // the ending stream closes first, as the control thread does
        if (streamOpen_) {
            streamOpen_ = false;
            Engine([&] { engine_.Closed(); });
        }
        streamOpen_ = true;
        ++opened_;
        read_ = write_ = sent_ = 0;
        queued_.clear();
        playing_ = false;
        nextCycleUs_ = nowUs_;
        reportEveryUs_ = 10'000;
        nextReportUs_ = -1;
        openedAtUs_ = nowUs_;
        Engine([&] { engine_.Opening(buffering_); });
    }

    ServerReport LastReport() const { return report_; }

    void MakeReport() {
        report_.serial = ++serial_;
        report_.readKnown = true;
        report_.readFrame = read_;
        report_.deviceUs = model_.reportsDevice ? model_.deviceUs + (nextCycleUs_ - nowUs_) : 0;
        report_.playing = playing_;
        reportMadeUs_ = nowUs_;
        UpdateAge();
        Send(EngineWrite([&] { return engine_.Reported(LastReport(), nowUs_); }));
    }
    void UpdateAge() { report_.ageUs = nowUs_ - reportMadeUs_; }

    void Send(const StreamEngine::Write& w) {
        if (w.frames == 0) {
            return;
        }
        const std::int64_t from = sent_ + w.seekFrames;
        queued_.push_back(
            {nowUs_ + model_.transitUs, from, std::vector<float>(w.samples, w.samples + w.frames)});
        sent_ = from + static_cast<std::int64_t>(w.frames);
    }

    void Tick() {
        UpdateAge();
        if (closeDue_) {
            closeDue_ = false;
            streamOpen_ = false;
            Engine([&] { engine_.Closed(); });
        }
        if (!streamOpen_ || nowUs_ < stalledUntilUs_ || nowUs_ < openedAtUs_ + model_.openUs) {
            return;
        }
        if (stalledUntilUs_ > 0) {  // just resumed
            if (!model_.catchUp) {
                nextCycleUs_ = std::max(nextCycleUs_, nowUs_);
            }
            stalledUntilUs_ = 0;
        }
        // Writes that have reached the server; a part before the read position is dropped.
        while (!queued_.empty() && queued_.front().atUs <= nowUs_) {
            const Queued& q = queued_.front();
            for (std::size_t i = 0; i < q.samples.size(); ++i) {
                const std::int64_t f = q.from + static_cast<std::int64_t>(i);
                if (f >= read_) {
                    buffer_[f] = q.samples[i];
                }
            }
            write_ = q.from + static_cast<std::int64_t>(q.samples.size());
            queued_.pop_front();
        }
        // Cycles due: each takes a cycle's frames, or silence while it waits for data.
        while (nextCycleUs_ <= nowUs_) {
            Cycle(nextCycleUs_);
            nextCycleUs_ += static_cast<double>(model_.cycleFrames) * kFrameUs;
        }
        // The client library's timing reports: soon after a start, then further apart.
        if (reportDue_ || (nextReportUs_ >= 0 && nowUs_ >= nextReportUs_)) {
            reportDue_ = false;
            MakeReport();
            nextReportUs_ = nowUs_ + reportEveryUs_;
            reportEveryUs_ = std::min(1'500'000.0, reportEveryUs_ * 2);
        }
        // Asks for data to keep its buffer full.
        const std::int64_t missing = model_.bufferFrames - (sent_ - read_);
        if (missing >= model_.refillFrames && nowUs_ >= starvedUntilUs_) {
            Send(EngineWrite([&] { return engine_.Requested(missing, LastReport(), nowUs_); }));
        }
    }

    void Cycle(double atUs) {
        if (!playing_) {
            if (write_ - read_ >= model_.bufferFrames) {
                playing_ = true;
                if (nextReportUs_ < 0) {
                    nextReportUs_ = nowUs_;
                }
                Engine([&] { engine_.Started(nowUs_); });
            } else {
                Take(atUs, 0);  // the sink plays silence meanwhile
                return;
            }
        }
        const std::int64_t have = std::min(model_.cycleFrames, write_ - read_);
        Take(atUs, have);
        if (have < model_.cycleFrames) {
            playing_ = false;
            Engine([&] { engine_.Underflow(nowUs_); });
        }
    }

    void Take(double atUs, std::int64_t frames) {
        heardAt_[static_cast<std::int64_t>(heard_.size())] = atUs + model_.deviceUs;
        for (std::int64_t i = 0; i < model_.cycleFrames; ++i) {
            heard_.push_back(i < frames ? buffer_[read_ + i] : 0.0f);
            buffer_.erase(read_ + i);
        }
        read_ += frames;
    }

    struct Queued {
        double atUs;
        std::int64_t from;
        std::vector<float> samples;
    };

    ServerModel model_;
    ServerBuffering buffering_;
    Mixer mixer_;
    IdleStop idleStop_{false};
    StreamEngine engine_;
    double nowUs_ = 1'000'000;
    std::vector<Clip> clips_;

    bool streamOpen_ = false;
    bool closeDue_ = false;
    bool reportDue_ = false;
    bool playing_ = false;
    int opened_ = 0;
    std::int64_t read_ = 0, write_ = 0, sent_ = 0;
    std::map<std::int64_t, float> buffer_;
    std::deque<Queued> queued_;
    double nextCycleUs_ = 0;
    double stalledUntilUs_ = 0;
    double starvedUntilUs_ = 0;
    double openedAtUs_ = 0;
    double reportEveryUs_ = 10'000;
    double nextReportUs_ = -1;
    double reportMadeUs_ = 0;
    std::uint64_t serial_ = 0;
    ServerReport report_;
    std::vector<float> heard_;
    std::map<std::int64_t, double> heardAt_;  // where in heard_ a cycle began, and when heard
};

}  // namespace lark::testing
