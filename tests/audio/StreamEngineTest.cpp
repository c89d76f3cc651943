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

// One shot's step lengths in the sentence's order, in microseconds.
const std::vector<double> kSteps = {210'000, 580'000,   440'000,   420'000, 210'000,
                                    600'000, 2'840'000, 1'100'000, 410'000, 330'000,
                                    190'000, 1'260'000, 270'000};
constexpr double kFrameUs = 1e6 / kOutputRateHz;

std::int64_t Frames(double us) {
    return std::llround(us / kFrameUs);
}

// Plays at the given gaps after a first Play `firstAtUs` from now, then runs until all sound.
void Perform(SimulatedServer& server, const std::vector<double>& gaps, double firstAtUs = 100'000) {
    server.RunFor(firstAtUs);
    server.Play();
    for (double gap : gaps) {
        server.RunFor(gap);
        server.Play();
    }
    server.RunFor(1'500'000);
}

// Every Play heard exactly once and whole, in the order of their stamps. A server that ran dry
// while a clip sounded played silence in the middle of it: `gapsAllowed`.
void ExpectEachHeardWholeInOrder(const SimulatedServer& server, bool gapsAllowed = false) {
    std::int64_t before = -1;
    for (std::size_t i = 0; i < server.Clips().size(); ++i) {
        const auto onset = server.Find(i);
        ASSERT_GE(onset.first, 0) << "Play " << i << " never heard";
        EXPECT_EQ(onset.starts, 1) << "Play " << i;
        EXPECT_EQ(onset.ends, 1) << "Play " << i;
        const auto length = static_cast<std::int64_t>(server.Clips()[i].data->samples.size());
        if (gapsAllowed) {
            EXPECT_GE(onset.last - onset.first, length - 1) << "Play " << i << " cut";
        } else {
            EXPECT_EQ(onset.last - onset.first, length - 1) << "Play " << i << " cut or stretched";
        }
        EXPECT_GT(onset.first, before) << "Play " << i << " out of order";
        before = onset.first;
    }
    const MixerCounts counts = server.mixer().Counts();
    EXPECT_EQ(counts.placed, server.Clips().size());
    EXPECT_EQ(counts.finished, server.Clips().size());
    EXPECT_EQ(counts.discarded + counts.stolen, 0u);
}

struct Sink {
    std::string name;
    ServerModel model;
    ServerBuffering buffering;
};

void PrintTo(const Sink& sink, std::ostream* os) {
    *os << sink.name;
}

class StreamEngineOnsetTest : public ::testing::TestWithParam<Sink> {};

// Through any sink, every Play is heard one constant latency after its stamp, so the spacing
// heard is the spacing stamped, to the sample; the first Play of a cold start too, since the
// run's latency is chosen for it.
TEST_P(StreamEngineOnsetTest, EveryPlayIsHeardOneLatencyAfterItsStamp) {
    SimulatedServer server(GetParam().model, {}, GetParam().buffering);
    Perform(server, kSteps);
    ExpectEachHeardWholeInOrder(server);
    const double latencyUs = server.Find(0).heardUs - server.Clips()[0].stampUs;
    // As the engine meant it: a server that reports no device latency is off by its cycle.
    EXPECT_NEAR(
        latencyUs, server.engine().RunLatencyUs(),
        GetParam().model.reportsDevice ? kFrameUs : GetParam().model.cycleFrames * kFrameUs);
    for (std::size_t i = 0; i < server.Clips().size(); ++i) {
        EXPECT_NEAR(server.Find(i).heardUs - server.Clips()[i].stampUs, latencyUs, kFrameUs)
            << "Play " << i;
        if (i > 0) {
            EXPECT_NEAR(server.Find(i).first - server.Find(i - 1).first,
                        Frames(server.Clips()[i].stampUs - server.Clips()[i - 1].stampUs), 1)
                << "Play " << i;
        }
    }
    EXPECT_EQ(server.mixer().Counts().late, 0u);
    EXPECT_EQ(server.engine().Reanchors(), 0u);
}

ServerModel PulseSink(double deviceUs) {
    return ServerModel{.deviceUs = deviceUs, .cycleFrames = 48};
}
// PipeWire's service: no device latency reported, whole graph cycles taken at a time, a buffer
// of its own choosing.
ServerModel PipeWireGraph(std::int64_t cycleFrames) {
    return ServerModel{.deviceUs = 0,
                       .cycleFrames = cycleFrames,
                       .transitUs = 1'500,
                       .bufferFrames = std::max<std::int64_t>(9600, 2 * cycleFrames + 1408),
                       .refillFrames = std::max<std::int64_t>(4800, cycleFrames),
                       .reportsDevice = false};
}
constexpr ServerBuffering kPipeWireBuffering{200'000, 100'000, 8'000, 512 * kFrameUs};

INSTANTIATE_TEST_SUITE_P(
    Sinks, StreamEngineOnsetTest,
    ::testing::Values(Sink{"Pulse5ms", PulseSink(5'000), {}},
                      // A network sink: it takes large chunks and reports a latency that swings
                      // by one as it does.
                      Sink{
                          "Tunnel300ms", ServerModel{.deviceUs = 300'000, .cycleFrames = 3600}, {}},
                      Sink{"Pulse50ms", PulseSink(50'000), {}},
                      Sink{"Pulse300ms", PulseSink(300'000), {}},
                      Sink{"Pulse500ms", PulseSink(500'000), {}},
                      Sink{"PipeWire256", PipeWireGraph(256), kPipeWireBuffering},
                      Sink{"PipeWire1024", PipeWireGraph(1024), kPipeWireBuffering},
                      Sink{"PipeWire2048", PipeWireGraph(2048), kPipeWireBuffering},
                      Sink{"PipeWire8192", PipeWireGraph(8192), kPipeWireBuffering}),
    [](const auto& info) { return info.param.name; });

// Plays of half a second every gapUs; what happens to the server happens at the tenth. The
// clips outlast the stretch sent ahead, so voices are still sounding whatever happens.
class StreamEngineTroubleTest : public ::testing::Test {
  protected:
    double gapUs = 300'000;

    void PerformAround(SimulatedServer& server, const std::function<void()>& trouble,
                       int plays = 40) {
        server.RunFor(100'000);
        for (int i = 0; i < plays; ++i) {
            if (i == 10) {
                trouble();
            }
            server.Play(24'000);
            server.RunFor(gapUs);
        }
        server.RunFor(3'000'000);
    }
    // How long after its stamp each Play was heard.
    static std::vector<double> Latencies(const SimulatedServer& server) {
        std::vector<double> us;
        for (std::size_t i = 0; i < server.Clips().size(); ++i) {
            us.push_back(server.Find(i).heardUs - server.Clips()[i].stampUs);
        }
        return us;
    }
    // Every Play heard whole, once, in order; none sounds closer to the one before than half
    // their stamps' gap, and from some Play on the performance is back on its grid: the
    // latency and the spacing it had before the trouble.
    void ExpectRecovered(const SimulatedServer& server, std::size_t byPlay) const {
        ExpectEachHeardWholeInOrder(server, true);
        const std::vector<double> latency = Latencies(server);
        for (std::size_t i = 1; i < latency.size(); ++i) {
            EXPECT_GE(server.Find(i).first - server.Find(i - 1).first, Frames(gapUs) / 2)
                << "Play " << i;
        }
        for (std::size_t i = byPlay; i < latency.size(); ++i) {
            EXPECT_NEAR(latency[i], latency[0], kFrameUs) << "Play " << i << " off its grid";
            EXPECT_NEAR(server.Find(i).first - server.Find(i - 1).first, Frames(gapUs), 1)
                << "Play " << i;
        }
    }
};

struct Stall {
    std::string name;
    double forUs;
    bool catchUp;
};
void PrintTo(const Stall& stall, std::ostream* os) {
    *os << stall.name;
}

class StreamEngineStallTest : public StreamEngineTroubleTest,
                              public ::testing::WithParamInterface<Stall> {};

// A server that stops for a while, then either plays on late (a device that kept its place) or
// takes at once all it missed (a sink on the system clock): nothing is lost or played twice,
// Plays made meanwhile keep their spacing, and the performance comes back onto its grid, closing
// half a gap a step at most.
TEST_P(StreamEngineStallTest, NothingIsLostAndThePerformanceComesBackOnItsGrid) {
    ServerModel model = PulseSink(5'000);
    model.catchUp = GetParam().catchUp;
    SimulatedServer server(model);
    const auto stallSteps = static_cast<std::size_t>(GetParam().forUs / gapUs);
    const std::size_t backBy = 10 + 3 * stallSteps + 6;
    PerformAround(
        server, [&] { server.Stall(GetParam().forUs); }, static_cast<int>(backBy + 4));
    ExpectRecovered(server, backBy);
}

INSTANTIATE_TEST_SUITE_P(Stalls, StreamEngineStallTest,
                         ::testing::Values(Stall{"OneSecondPlayingOnLate", 1'000'000, false},
                                           Stall{"OneSecondCatchingUp", 1'000'000, true},
                                           Stall{"FiveSecondsPlayingOnLate", 5'000'000, false},
                                           Stall{"FiveSecondsCatchingUp", 5'000'000, true}),
                         [](const auto& info) { return info.param.name; });

// The app's audio thread is held up until the server runs dry: the server waits to refill and
// the timeline anchors afresh; the Plays that waited meanwhile keep their spacing, and nothing
// is lost.
TEST_F(StreamEngineTroubleTest, AnUnderrunIsRefilledAndThePerformanceComesBack) {
    gapUs = 100'000;
    SimulatedServer server(PulseSink(5'000));
    PerformAround(server, [&] { server.Starve(400'000); });
    ExpectRecovered(server, 10 + 16);
}

// A server that goes away takes with it what was due; the next Play opens a stream on the
// server found again and is heard.
TEST_F(StreamEngineTroubleTest, AfterTheServerIsLostTheNextPlayIsHeardOnAFreshStream) {
    SimulatedServer server(PulseSink(5'000));
    server.RunFor(100'000);
    server.Play();  // waits for the stream to settle
    server.Lose();
    EXPECT_EQ(server.mixer().Counts().discarded, 1u);
    server.RunFor(200'000);
    server.Play();
    server.RunFor(gapUs);
    server.Play();
    server.RunFor(1'000'000);
    EXPECT_EQ(server.StreamsOpened(), 2);
    EXPECT_LT(server.Find(0).first, 0) << "lost with the server";
    EXPECT_NEAR(server.Find(2).first - server.Find(1).first, Frames(gapUs), 1);
}

// A Play in any state of the stream is heard, on the grid of the run it lands in: sent before a
// stream runs, while it opens, fills, settles, plays, or is about to end idle.
TEST_F(StreamEngineTroubleTest, APlayInEveryStateIsHeard) {
    SimulatedServer server(PulseSink(5'000));
    using State = StreamEngine::State;
    std::vector<State> seen;
    server.RunFor(100'000);
    for (const State wanted :
         {State::Closed, State::Opening, State::Prebuffering, State::Settling, State::Playing}) {
        for (int tick = 0; server.engine().CurrentState() != wanted && tick < 4000; ++tick) {
            server.RunFor(250);
        }
        seen.push_back(server.engine().CurrentState());
        server.Play();
        server.RunFor(250);  // so no two share a stamp
    }
    // Silent until the stream is about to end, then a Play as it ends.
    for (int tick = 0; server.engine().CurrentState() == State::Playing && tick < 40'000; ++tick) {
        server.RunFor(250);
    }
    seen.push_back(server.engine().CurrentState());
    server.Play();
    server.RunFor(1'000'000);
    EXPECT_EQ(seen, (std::vector<State>{State::Closed, State::Opening, State::Prebuffering,
                                        State::Settling, State::Playing, State::Ending}));
    ExpectEachHeardWholeInOrder(server);
    for (std::size_t i = 1; i < 5; ++i) {
        EXPECT_NEAR(server.Find(i).first - server.Find(i - 1).first,
                    Frames(server.Clips()[i].stampUs - server.Clips()[i - 1].stampUs), 1)
            << "Play " << i;
    }
    EXPECT_EQ(server.StreamsOpened(), 2) << "the last Play starts the next stream";
}

}  // namespace
}  // namespace lark
