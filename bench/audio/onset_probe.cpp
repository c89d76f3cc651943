// Plays clicks through the default device at irregular, stamped moments and prints the
// stamps, so that a recording of the device's output can be checked against them: the gaps
// between recorded clicks should equal the gaps between stamps to the sample. Real time: a
// plain program, run by hand against a sound server (see the commands next to it).
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <random>
#include <string>
#include <thread>

#include "audio/Mixer.h"
#include "audio/PortAudioOutput.h"
#include "runtime/Clock.h"

int main(int argc, char** argv) {
    const int clicks = argc > 1 ? std::stoi(argv[1]) : 40;
    lark::SteadyClock clock;
    lark::Mixer mixer;
    std::string whyNot;
    auto output = lark::PortAudioOutput::Open(mixer, clock, whyNot);
    if (!output) {
        std::cerr << "no output: " << whyNot << "\n";
        return 1;
    }
    auto click = std::make_shared<lark::ClipData>();
    click->sampleRate = 48000;
    click->samples = {0.9f, -0.9f};
    std::mt19937 gen(3);
    std::uniform_int_distribution<int> gapUs(80'000, 160'000);
    std::this_thread::sleep_for(std::chrono::milliseconds(500));  // let the stream settle
    double first = -1;
    for (int i = 0; i < clicks; ++i) {
        const double now = clock.Microseconds();
        mixer.Submit({click.get(), now, 1});
        if (first < 0) {
            first = now;
        }
        std::printf("%.1f\n", now - first);
        std::this_thread::sleep_for(std::chrono::microseconds(gapUs(gen)));
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    std::fprintf(stderr, "latency_us %.1f reanchors %llu late %llu\n", output->LatencyUs(),
                 static_cast<unsigned long long>(output->Reanchors()),
                 static_cast<unsigned long long>(mixer.LateStarts()));
    return 0;
}
