#include "app/RenderToFile.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

#include "app/PlayTraceFile.h"
#include "audio/SoundFileWriter.h"
#include "render/RenderPerformance.h"
#include "sounds/PlayTrace.h"

namespace lark {
namespace {

int Failed(std::ostream& err, const std::string& why) {
    err << "larkspool8: " << why << std::endl;
    return 1;
}

void PrintOrder(const RenderedPerformance& rendered, std::ostream& out) {
    for (const SoundSystem::StampedPlay& play : rendered.plays) {
        char start[32];
        std::snprintf(start, sizeof start, "%.6f", (play.atUs - rendered.plays.front().atUs) / 1e6);
        out << ClipNameOf(play.number) << ' ' << start << '\n';
    }
    out.flush();
}

}  // namespace

int RenderToFile(const CommandLine& line, const SoundSystem::Reader& clips, std::ostream& out,
                 std::ostream& err) {
    const SoundFileFormat format =
        line.out.ends_with(".flac") ? SoundFileFormat::Flac16 : SoundFileFormat::WavFloat;
    std::string whyNot;
    const std::unique_ptr<SoundFileWriter> writer =
        SoundFileWriter::Create(line.out, format, line.force, whyNot);
    if (!writer) {
        return Failed(err, whyNot);
    }
    PlayTraceFile trace;
    if (!trace.Open(line.tracePlaysPath, err)) {
        return 1;
    }
    RenderedPerformance rendered;
    try {
        rendered =
            RenderPerformance({line.mode, *line.seed, line.seconds * 1e6}, clips,
                              [&writer](std::span<const float> frames) { writer->Write(frames); });
    } catch (const std::exception& error) {
        return Failed(err, std::string("the performance failed: ") + error.what());
    }
    if (!writer->Commit(whyNot)) {
        return Failed(err, whyNot);
    }
    for (const SoundSystem::StampedPlay& play : rendered.plays) {
        trace.Add(play);
    }
    PrintOrder(rendered, out);
    return 0;
}

}  // namespace lark
