// How many times faster than real time a render runs: one performance in virtual time through
// the sound path, over the compiled-in clips, decoded afresh each time as the command does. The
// mix goes to a sink that keeps nothing, or, as `larkspool8 --render` writes it, to a file.
// x_real_time is seconds of performance rendered per second of wall time.
//
//   render_bench [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/RenderToFile.h"
#include "audio/SoundSystem.h"
#include "render/RenderPerformance.h"

namespace {

using namespace lark;

void ReportSpeed(benchmark::State& state, double performanceSeconds) {
    state.counters["x_real_time"] = benchmark::Counter(
        performanceSeconds * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Renders the performance of seed 1, the mix to nowhere; returns its length in seconds.
double RenderToNowhere(const char* mode, double seconds) {
    const RenderedPerformance rendered = RenderPerformance(
        {FindRenderMode(mode), 1, seconds * 1e6}, ReadClipResource,
        [](std::span<const float> frames) { benchmark::DoNotOptimize(frames.data()); });
    return static_cast<double>(rendered.frames) / kOutputRateHz;
}

void RenderMix(benchmark::State& state, const char* mode, double seconds) {
    double performanceSeconds = 0;
    for (auto _ : state) {
        performanceSeconds = RenderToNowhere(mode, seconds);
    }
    ReportSpeed(state, performanceSeconds);
}

void RenderFile(benchmark::State& state, const char* mode, double seconds, const char* ext) {
    const std::string path =
        (std::filesystem::temp_directory_path() / (std::string("render_bench") + ext)).string();
    std::vector<std::string_view> args = {"--render", mode, "--seed", "1", "--force", path};
    const std::string secondsText = std::to_string(seconds);
    if (!FindRenderMode(mode)->endsByItself) {
        args.insert(args.end(), {"--seconds", secondsText});
    }
    const CommandLine line = ParseCommandLine(args);
    std::ostringstream printed, errors;
    for (auto _ : state) {
        if (RenderToFile(line, ReadClipResource, printed, errors) != 0) {
            state.SkipWithError(errors.str().c_str());
            break;
        }
        printed.str("");
    }
    std::filesystem::remove(path);
    ReportSpeed(state, RenderToNowhere(mode, seconds));
}

}  // namespace

BENCHMARK_CAPTURE(RenderMix, one_shot, "one-shot", 0)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(RenderMix, looped_1_60s, "looped-1", 60)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RenderMix, looped_2_60s, "looped-2", 60)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RenderFile, one_shot_wav, "one-shot", 0, ".wav")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RenderFile, looped_2_60s_wav, "looped-2", 60, ".wav")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK_CAPTURE(RenderFile, looped_2_60s_flac, "looped-2", 60, ".flac")
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

int main(int argc, char** argv) {
    QCoreApplication core(argc, argv);  // the sound system's timer needs its thread's loop
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
}
