// Cost of the mixer per output frame, and the onset error of an offline render.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <random>
#include <vector>

#include "audio/AudioOutput.h"
#include "audio/Mixer.h"

namespace {

constexpr std::size_t kBuffer = 256;

std::shared_ptr<lark::ClipData> Noise(std::size_t frames) {
    auto clip = std::make_shared<lark::ClipData>();
    clip->sampleRate = 48000;
    std::mt19937 gen(7);
    std::uniform_real_distribution<float> d(-0.05f, 0.05f);
    clip->samples.resize(frames);
    for (float& s : clip->samples) {
        s = d(gen);
    }
    return clip;
}

// Keeps `voices` voices sounding and renders 256-frame buffers, as the device callback does.
void MixPerFrame(benchmark::State& state) {
    const auto voices = static_cast<int>(state.range(0));
    const auto clip = Noise(48000 * 30);  // 30 s: voices outlast the run
    auto mixer = std::make_unique<lark::Mixer>();
    const lark::FrameMap map{0, 0, 48000};
    for (int v = 0; v < voices; ++v) {
        mixer->Submit({clip.get(), 0, 1});
    }
    std::vector<float> out(kBuffer);
    std::int64_t frame = 0;
    for (auto _ : state) {
        mixer->Render(out.data(), kBuffer, frame, map);
        frame += kBuffer;
        if (frame >= 48000 * 29) {
            state.PauseTiming();
            frame = 0;
            mixer = std::make_unique<lark::Mixer>();
            for (int v = 0; v < voices; ++v) {
                mixer->Submit({clip.get(), 0, 1});
            }
            state.ResumeTiming();
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(kBuffer));
    state.counters["ns_per_frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * kBuffer,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(MixPerFrame)->Arg(1)->Arg(4)->Arg(16)->Unit(benchmark::kMicrosecond);

// Plays clicks at irregular clock readings into the offline output, finds each click in the
// rendered mix and compares its frame with the one the reading maps to. Goal: 0 samples.
void OfflineOnsetError(benchmark::State& state) {
    auto click = std::make_shared<lark::ClipData>();
    click->sampleRate = 48000;
    click->samples = {1.0f};
    std::int64_t worst = 0;
    std::int64_t clicks = 0;
    for (auto _ : state) {
        lark::Mixer mixer;
        const double t0 = 1'000'003;
        lark::OfflineOutput out(mixer, t0);
        std::mt19937 gen(11);
        std::uniform_real_distribution<double> gap(20'000, 900'000);
        std::vector<double> stamps;
        double t = t0;
        for (int i = 0; i < 200; ++i) {
            t += std::floor(gap(gen));  // whole microseconds, like the clock's readings
            stamps.push_back(t);
            mixer.Submit({click.get(), t, 1});
            out.RenderUntil(t - 30'000);  // the mix runs behind the stamps, like a device
        }
        out.Render(48000);
        const std::vector<float>& mix = out.Rendered();
        std::size_t k = 0;
        for (std::size_t f = 0; f < mix.size() && k < stamps.size(); ++f) {
            if (mix[f] != 0.0f) {
                const std::int64_t expected = std::llround((stamps[k] - t0) * 48000 / 1e6);
                worst = std::max(worst, std::abs(static_cast<std::int64_t>(f) - expected));
                ++k;
                ++clicks;
            }
        }
    }
    state.counters["worst_onset_error_samples"] = static_cast<double>(worst);
    state.counters["clicks"] = static_cast<double>(clicks);
}
BENCHMARK(OfflineOnsetError)->Unit(benchmark::kMillisecond);

}  // namespace
