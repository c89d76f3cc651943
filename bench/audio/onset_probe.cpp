// Plays clicks through the default output at irregular, stamped moments and prints the
// stamps, so that a recording of the output can be checked against them: the gaps between
// recorded clicks should equal the gaps between stamps to the sample. Also prints what the
// whole process cost while it played. Real time: a plain program, run by hand against a sound
// server (see the commands next to it).
// Usage: onset_probe [CLICKS] [pulse BUFFER_MS REFILL_MS | portaudio]
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "audio/Mixer.h"
#include "audio/PortAudioOutput.h"
#include "audio/PulseOutput.h"
#include "runtime/Clock.h"

namespace {

struct Usage {
    double cpuUs;
    long switches;
};

Usage Now() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto us = [](timeval t) { return static_cast<double>(t.tv_sec) * 1e6 + t.tv_usec; };
    return {us(u.ru_utime) + us(u.ru_stime), u.ru_nvcsw + u.ru_nivcsw};
}

}  // namespace

int main(int argc, char** argv) {
    const int clicks = argc > 1 ? std::stoi(argv[1]) : 40;
    const std::string kind = argc > 2 ? argv[2] : "pulse";
    lark::SteadyClock clock;
    lark::Mixer mixer;
    std::string whyNot;
    std::unique_ptr<lark::AudioOutput> output;
    lark::PulseOutput* pulse = nullptr;
    lark::PortAudioOutput* portaudio = nullptr;
    if (kind == "portaudio") {
        auto out = lark::PortAudioOutput::Open(mixer, clock, whyNot);
        portaudio = out.get();
        output = std::move(out);
    } else {
        lark::PulseOutput::Tuning tuning;
        if (argc > 4) {
            tuning.pulseAudio.bufferUs = std::stod(argv[3]) * 1000;
            tuning.pulseAudio.refillUs = std::stod(argv[4]) * 1000;
        }
        auto out = lark::PulseOutput::Open(mixer, clock, whyNot, tuning);
        pulse = out.get();
        output = std::move(out);
    }
    if (!output) {
        std::cerr << "no output: " << whyNot << "\n";
        return 1;
    }
    auto click = std::make_shared<lark::ClipData>();
    click->sampleRate = 48000;
    click->samples = {0.9f, -0.9f};
    std::mt19937 gen(3);
    std::uniform_int_distribution<int> gapUs(80'000, 160'000);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // PortAudio: let it settle
    const Usage before = Now();
    const double startUs = clock.Microseconds();
    double first = -1;
    for (int i = 0; i < clicks; ++i) {
        const double now = clock.Microseconds();
        mixer.Submit({click.get(), now, 1});
        output->Wake();
        if (first < 0) {
            first = now;
        }
        std::printf("%.1f\n", now - first);
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(gen)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    const Usage after = Now();
    const double seconds = (clock.Microseconds() - startUs) / 1e6;
    const double latencyUs = pulse ? pulse->LatencyUs() : portaudio->LatencyUs();
    const auto reanchors = pulse ? pulse->Reanchors() : portaudio->Reanchors();
    std::fprintf(stderr,
                 "latency_us %.1f reanchors %llu late %llu cpu_percent %.2f switches_per_s %.0f\n",
                 latencyUs, static_cast<unsigned long long>(reanchors),
                 static_cast<unsigned long long>(mixer.Counts().late),
                 (after.cpuUs - before.cpuUs) / 1e4 / seconds,
                 static_cast<double>(after.switches - before.switches) / seconds);
    return 0;
}
