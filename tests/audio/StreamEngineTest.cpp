#include "audio/StreamEngine.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "SimulatedServer.h"

namespace lark {
namespace {

using testing::ServerModel;
using testing::SimulatedServer;
constexpr double kFrameUs = SimulatedServer::kFrameUs;

std::int64_t Frames(double us) {
    return std::llround(us / kFrameUs);
}
double LatencyOf(const SimulatedServer& server, std::size_t i) {
    return server.Find(i).heardUs - server.Clips()[i].stampUs;
}

// Every Play heard exactly once and whole, in the order of their stamps; a server that ran dry
// while a clip sounded played silence in the middle of it (`gapsAllowed`). From Play `gridFrom`
// up to `gridTo`, each is heard as long after its stamp as the first, and as far from the one
// before as their stamps are, to the sample.
void ExpectHeard(const SimulatedServer& server, bool gapsAllowed, std::size_t gridFrom,
                 std::size_t gridTo = SIZE_MAX) {
    const std::size_t plays = server.Clips().size();
    for (std::size_t i = 0; i < plays; ++i) {
        const auto onset = server.Find(i);
        ASSERT_GE(onset.first, 0) << "Play " << i << " never heard";
        EXPECT_EQ(std::pair(onset.starts, onset.ends), std::pair(1, 1)) << "Play " << i;
        const auto length = static_cast<std::int64_t>(server.Clips()[i].data->samples.size());
        EXPECT_TRUE(onset.last - onset.first == length - 1 ||
                    (gapsAllowed && onset.last - onset.first > length - 1))
            << "Play " << i << " cut or stretched";
        if (i > 0) {
            const std::int64_t spacing = onset.first - server.Find(i - 1).first;
            EXPECT_GT(spacing, 0) << "Play " << i << " out of order";
            if (i >= gridFrom && i < gridTo) {
                EXPECT_NEAR(LatencyOf(server, i), LatencyOf(server, 0), kFrameUs)
                    << "Play " << i << " off its grid";
                EXPECT_NEAR(spacing,
                            Frames(server.Clips()[i].stampUs - server.Clips()[i - 1].stampUs), 1)
                    << "Play " << i;
            }
        }
    }
    EXPECT_EQ(server.engineAllocations, 0u) << "the engine allocated or freed";
    const MixerCounts counts = server.mixer().Counts();
    EXPECT_EQ(counts.placed, plays);
    EXPECT_EQ(counts.finished, plays);
    EXPECT_EQ(counts.discarded + counts.stolen, 0u);
}

struct Sink {
    friend void PrintTo(const Sink& sink, std::ostream* os) { *os << sink.name; }
    std::string name;
    ServerModel model;
    ServerBuffering buffering;
};
class StreamEngineOnsetTest : public ::testing::TestWithParam<Sink> {};

// Through any sink, every Play is heard one constant latency after its stamp, so the spacing
// heard is the spacing stamped, to the sample; the first Play of a cold start too, since the
// run's latency is chosen for it. The Plays are one shot's steps.
TEST_P(StreamEngineOnsetTest, EveryPlayIsHeardOneLatencyAfterItsStamp) {
    SimulatedServer server(GetParam().model, GetParam().buffering);
    server.RunFor(100'000);
    server.Play();
    for (double stepMs : {210, 580, 440, 420, 210, 600, 2840, 1100, 410, 330, 190, 1260, 270}) {
        server.RunFor(stepMs * 1000);
        server.Play();
    }
    server.RunFor(1'500'000);
    ExpectHeard(server, false, 1);
    // As the engine meant it: a server that reports no device latency is off by its cycle.
    EXPECT_NEAR(
        LatencyOf(server, 0), server.engine().RunLatencyUs(),
        GetParam().model.reportsDevice ? kFrameUs : GetParam().model.cycleFrames * kFrameUs);
    EXPECT_EQ(server.mixer().Counts().late, 0u);
    EXPECT_EQ(server.engine().Reanchors(), 0u);
}

ServerModel PulseSink(double deviceUs) {
    return ServerModel{.deviceUs = deviceUs, .cycleFrames = 48};
}
// PipeWire's service: no device latency reported, whole graph cycles taken at a time, a buffer
// of its own choosing.
Sink PipeWireGraph(std::int64_t cycleFrames) {
    return {"PipeWire" + std::to_string(cycleFrames),
            {.deviceUs = 0,
             .cycleFrames = cycleFrames,
             .transitUs = 1'500,
             .bufferFrames = std::max<std::int64_t>(9600, 2 * cycleFrames + 1408),
             .refillFrames = std::max<std::int64_t>(4800, cycleFrames),
             .reportsDevice = false},
            {200'000, 100'000, 8'000, 512 * kFrameUs}};
}

INSTANTIATE_TEST_SUITE_P(
    Sinks, StreamEngineOnsetTest,
    ::testing::Values(Sink{"Pulse5ms", PulseSink(5'000), {}},
                      // A network sink: it takes large chunks and reports a latency that swings
                      // by one as it does.
                      Sink{
                          "Tunnel300ms", ServerModel{.deviceUs = 300'000, .cycleFrames = 3600}, {}},
                      Sink{"Pulse50ms", PulseSink(50'000), {}},
                      // The first report after a start is stale: the timeline waits for fresh ones.
                      Sink{"Pulse5msStaleFirstReport",
                           ServerModel{.deviceUs = 5'000, .firstReportOffUs = 9'500},
                           {}},
                      Sink{"Pulse300ms", PulseSink(300'000), {}},
                      Sink{"Pulse500ms", PulseSink(500'000), {}}, PipeWireGraph(256),
                      PipeWireGraph(1024), PipeWireGraph(2048), PipeWireGraph(8192)),
    [](const auto& info) { return info.param.name; });

// Plays of half a second every gapUs; what happens to the server happens at the tenth. The
// clips outlast the stretch sent ahead, so voices are still sounding whatever happens. Then
// every Play is heard whole, once, in order; none sounds closer to the one before than half
// their stamps' gap, and from Play `backBy` on the performance is back on its grid: the
// latency and the spacing it had before the trouble.
void ExpectRecovers(SimulatedServer& server, double gapUs, std::size_t backBy,
                    const std::function<void()>& trouble) {
    server.RunFor(100'000);
    for (std::size_t i = 0; i < backBy + 14; ++i) {
        if (i == 10) {
            trouble();
        }
        server.Play(24'000);
        server.RunFor(gapUs);
    }
    server.RunFor(5'000'000);
    EXPECT_EQ(server.engine().CurrentState(), StreamEngine::State::Closed) << "ended idle";
    ExpectHeard(server, true, backBy);
    for (std::size_t i = 1; i < server.Clips().size(); ++i) {
        EXPECT_GE(server.Find(i).first - server.Find(i - 1).first, Frames(gapUs) / 2)
            << "Play " << i;
    }
}

// A server that stops for 1 s or 5 s, then either plays on late (a device that kept its place)
// or takes at once all it missed (a sink on the system clock): nothing is lost or played twice,
// Plays made meanwhile keep their spacing, and the performance comes back onto its grid, closing
// half a gap a step at most.
class StreamEngineStallTest : public ::testing::TestWithParam<std::tuple<int, bool>> {};

TEST_P(StreamEngineStallTest, NothingIsLostAndThePerformanceComesBackOnItsGrid) {
    const auto [seconds, catchUp] = GetParam();
    ServerModel model = PulseSink(5'000);
    model.catchUp = catchUp;
    SimulatedServer server(model);
    // Three steps to close each step of the stall, and a few more.
    ExpectRecovers(server, 300'000, 10 + 3 * (seconds * 10 / 3) + 6,
                   [&] { server.Stall(seconds * 1e6); });
}

INSTANTIATE_TEST_SUITE_P(Stalls, StreamEngineStallTest,
                         ::testing::Combine(::testing::Values(1, 5), ::testing::Bool()),
                         [](const auto& info) {
                             return "Stall" + std::to_string(std::get<0>(info.param)) + "s" +
                                    (std::get<1>(info.param) ? "CatchingUp" : "PlayingOnLate");
                         });

// The app's audio thread is held up until the server runs dry: the server waits to refill and
// the timeline anchors afresh; the Plays that waited meanwhile keep their spacing, and nothing
// is lost.
TEST(StreamEngineTest, AnUnderrunIsRefilledAndThePerformanceComesBack) {
    SimulatedServer server(PulseSink(5'000));
    ExpectRecovers(server, 100'000, 10 + 16, [&] { server.Starve(400'000); });
}

// A server that goes away takes with it what was due; the next Play opens a stream on the
// server found again and is heard.
TEST(StreamEngineTest, AfterTheServerIsLostTheNextPlayIsHeardOnAFreshStream) {
    SimulatedServer server(PulseSink(5'000));
    server.RunFor(100'000);
    server.Play();  // waits for the stream to settle
    server.Lose();
    EXPECT_EQ(server.mixer().Counts().discarded, 1u);
    server.RunFor(200'000);
    server.Play();
    server.RunFor(300'000);
    server.Play();
    server.RunFor(1'000'000);
    EXPECT_EQ(server.StreamsOpened(), 2);
    EXPECT_LT(server.Find(0).first, 0) << "lost with the server";
    EXPECT_EQ(server.engineAllocations, 0u);
    EXPECT_NEAR(server.Find(2).first - server.Find(1).first, Frames(300'000), 1);
}

// A Play in any state of the stream is heard, on the grid of the run it lands in: sent before a
// stream runs, while it opens, fills, settles, plays, or is about to end idle.
TEST(StreamEngineTest, APlayInEveryStateIsHeard) {
    SimulatedServer server(PulseSink(5'000));
    using State = StreamEngine::State;
    std::vector<State> seen;
    server.RunFor(100'000);
    for (const State wanted : {State::Closed, State::Opening, State::Prebuffering, State::Settling,
                               State::Playing, State::Ending}) {
        // Silent until the stream is about to end, then a Play as it ends.
        for (int tick = 0; server.engine().CurrentState() != wanted && tick < 40'000; ++tick) {
            server.RunFor(250);
        }
        seen.push_back(server.engine().CurrentState());
        server.Play();
        server.RunFor(250);  // so no two share a stamp
    }
    server.RunFor(1'000'000);
    EXPECT_EQ(seen, (std::vector<State>{State::Closed, State::Opening, State::Prebuffering,
                                        State::Settling, State::Playing, State::Ending}));
    // The first five on one grid; the last on the next stream's.
    ExpectHeard(server, false, 1, 5);
    EXPECT_EQ(server.StreamsOpened(), 2) << "the last Play starts the next stream";
}

}  // namespace
}  // namespace lark
