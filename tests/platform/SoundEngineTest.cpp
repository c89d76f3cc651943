#include "platform/SoundEngine.h"

#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "platform/SoundSystem.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

using testing::VirtualClock;

std::shared_ptr<ClipData> Constant(float value, std::size_t length) {
    auto clip = std::make_shared<ClipData>();
    clip->sampleRate = 48000;
    clip->samples.assign(length, value);
    return clip;
}

class SoundEngineTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    std::ostringstream log;
    OfflineOutput* offline = nullptr;  // owned by the engine

    OutputFactory Offline() {
        return [this](Mixer& mixer, std::string&) {
            auto out = std::make_unique<OfflineOutput>(mixer, clock.Microseconds());
            offline = out.get();
            return out;
        };
    }
    static OutputFactory NoDevice() {
        return [](Mixer&, std::string& whyNot) -> std::unique_ptr<AudioOutput> {
            whyNot = "no server";
            return nullptr;
        };
    }
    static std::size_t Lines(const std::string& text) {
        std::size_t n = 0;
        for (char c : text) {
            n += c == '\n' ? 1 : 0;
        }
        return n;
    }
};

TEST_F(SoundEngineTest, PlayLandsOnTheFrameOfItsClockReading) {
    auto engine = std::make_shared<SoundEngine>(clock);
    ASSERT_TRUE(engine->OpenOutput(Offline(), log));
    const double t0 = clock.Microseconds();
    auto clip = Constant(0.5f, 4);
    Sound sound(clip, engine);
    clock.Set(t0 + 12'345);  // 592.56 frames
    sound.Play();
    offline->Render(1000);
    const auto& out = offline->Rendered();
    EXPECT_EQ(out[592], 0.0f);
    EXPECT_EQ(out[593], 0.5f);
    EXPECT_EQ(out[596], 0.5f);
    EXPECT_EQ(out[597], 0.0f);
    EXPECT_TRUE(log.str().empty());
}

TEST_F(SoundEngineTest, VolumeIsAGainOfOneHundredth) {
    auto engine = std::make_shared<SoundEngine>(clock);
    engine->OpenOutput(Offline(), log);
    Sound sound(Constant(0.5f, 2), engine);
    sound.SetVolume(50);
    sound.Play();
    sound.SetVolume(250);
    EXPECT_EQ(sound.Volume(), 100);
    sound.SetVolume(-3);
    EXPECT_EQ(sound.Volume(), 0);
    offline->Render(2);
    EXPECT_EQ(offline->Rendered()[0], 0.25f);
}

TEST_F(SoundEngineTest, NoDeviceGoesSilentAndSaysSoOnce) {
    auto engine = std::make_shared<SoundEngine>(clock);
    EXPECT_FALSE(engine->OpenOutput(NoDevice(), log));
    EXPECT_TRUE(engine->Silent());
    Sound sound(Constant(0.5f, 2), engine);
    for (int i = 0; i < 1000; ++i) {
        sound.Play();  // must return every time, with nothing draining the queue
    }
    EXPECT_EQ(Lines(log.str()), 1u);
    EXPECT_NE(log.str().find("no server"), std::string::npos);
    EXPECT_EQ(engine->Dropped(), 0u);  // silent: nothing was even sent
}

TEST_F(SoundEngineTest, StalledOutputDropsPlaysInsteadOfBlocking) {
    auto engine = std::make_shared<SoundEngine>(clock);
    engine->OpenOutput(Offline(), log);  // never rendered: like a server that went away
    Sound sound(Constant(0.5f, 2), engine);
    for (std::size_t i = 0; i < Mixer::kQueueCapacity + 100; ++i) {
        sound.Play();
    }
    EXPECT_EQ(engine->Dropped(), 101u);
}

TEST_F(SoundEngineTest, SoundOutlivingItsPlayerIsMute) {
    struct CountingPlayer final : ClipPlayer {
        std::shared_ptr<int> starts = std::make_shared<int>(0);
        void Start(std::shared_ptr<const ClipData>, int) override { ++*starts; }
    };
    auto player = std::make_shared<CountingPlayer>();
    const std::shared_ptr<int> starts = player->starts;
    Sound sound(Constant(0.5f, 2), player);
    sound.Play();
    player.reset();
    sound.Play();
    EXPECT_EQ(*starts, 1);
}

TEST_F(SoundEngineTest, SystemReadsClipsFromItsStoreAndPlaysThemThroughTheEngine) {
    const std::vector<std::int16_t> pcm = {16384, -16384, 8192};
    std::map<int, std::vector<std::byte>> store = {
        {168, EncodeClip(pcm, 48000, 1, ClipFormat::Flac16)},
        {169, std::vector<std::byte>(16, std::byte{1})},  // not a sound file
    };
    int reads = 0;
    auto system = SoundSystem::Open(
        clock, Offline(),
        [&](int number) -> std::optional<std::vector<std::byte>> {
            ++reads;
            auto it = store.find(number);
            if (it == store.end()) {
                return std::nullopt;
            }
            return it->second;
        },
        log);
    auto beep = system->resources().GetSound(168);
    ASSERT_NE(beep, nullptr);
    EXPECT_EQ(system->resources().GetSound(169), nullptr);
    EXPECT_EQ(system->resources().GetSound(177), nullptr);
    EXPECT_EQ(reads, 3);
    beep->Play();
    offline->Render(4);
    EXPECT_EQ(offline->Rendered(), (std::vector<float>{0.5f, -0.5f, 0.25f, 0.0f}));
}

}  // namespace
}  // namespace lark
