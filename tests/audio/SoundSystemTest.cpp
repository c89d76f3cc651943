#include "audio/SoundSystem.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <map>
#include <sstream>
#include <string>
#include <thread>

#include "runtime/VirtualLoop.h"

namespace lark {
namespace {

std::shared_ptr<ClipData> Constant(float value, std::size_t length) {
    return std::make_shared<ClipData>(ClipData{48000, std::vector<float>(length, value)});
}

class SoundSystemTest : public ::testing::Test {
  protected:
    VirtualClock clock;
    std::ostringstream log;
    OfflineOutput* offline = nullptr;  // owned by the system
    std::map<int, std::vector<std::byte>> store;
    std::array<std::atomic<int>, 181> reads{};  // by resource number; the worker counts too
    std::shared_ptr<SoundSystem> system = SoundSystem::Open(
        clock,
        [this](Mixer& mixer, std::string&) {
            auto out = std::make_unique<OfflineOutput>(mixer, clock.Microseconds());
            offline = out.get();
            return out;
        },
        [this](int number) -> std::optional<std::vector<std::byte>> {
            ++reads.at(number);
            const auto it = store.find(number);
            return it == store.end() ? std::nullopt : std::optional(it->second);
        },
        log);
};

TEST_F(SoundSystemTest, PlayLandsOnTheFrameOfItsClockReadingAtItsVolume) {
    Sound sound(Constant(0.5f, 4), system);
    sound.SetVolume(50);    // a gain of one hundredth per step
    clock.Advance(12'345);  // 592.56 frames
    sound.Play();
    sound.SetVolume(250);
    EXPECT_EQ(sound.Volume(), 100);
    sound.SetVolume(-3);
    EXPECT_EQ(sound.Volume(), 0);
    offline->Render(595);  // the clip runs on into the next block
    offline->RenderUntil(clock.Microseconds() + 8'000);
    std::vector<float> expected(977, 0.0f);  // up to 20,345 us: frame 976.56
    std::fill(expected.begin() + 593, expected.begin() + 597, 0.25f);
    EXPECT_EQ(offline->Rendered(), expected);

    auto elsewhere = Constant(0.5f, 4);
    elsewhere->sampleRate = 44100;
    EXPECT_THROW(Sound(elsewhere, system).Play(), std::invalid_argument) << "wrong pitch";
}

// Without a device the Plays go nowhere; with one that stopped taking them (a server that went
// away) they fill the queue and the rest are dropped. Neither blocks.
TEST_F(SoundSystemTest, PlayNeverBlocksWithoutADeviceOrWithAStalledOne) {
    auto silent = std::make_shared<SoundSystem>(clock, nullptr);
    EXPECT_FALSE(silent->OpenOutput(
        [](Mixer&, std::string& whyNot) -> std::unique_ptr<AudioOutput> {
            whyNot = "no server";
            return nullptr;
        },
        log));
    Sound unheard(Constant(0.5f, 2), silent), dropped(Constant(0.5f, 2), system);
    for (std::size_t i = 0; i < Mixer::kQueueCapacity + 100; ++i) {
        unheard.Play();
        dropped.Play();
    }
    EXPECT_EQ(silent->Dropped(), 0u) << "silent: nothing was even sent";
    EXPECT_EQ(system->Dropped(), 101u);
    EXPECT_EQ(log.str(), "No sound output (no server); the piece goes on in silence.\n");
}

TEST_F(SoundSystemTest, APlayedClipOutlivesItsSoundAndASoundOutlivingItsPlayerIsMute) {
    auto sound = std::make_unique<Sound>(Constant(0.5f, 48000), system);
    const std::weak_ptr<const ClipData> clip = sound->clip();
    sound->Play();
    offline->Render(100);
    sound.reset();
    EXPECT_FALSE(clip.expired()) << "freed while a voice still reads it";

    struct CountingPlayer final : ClipPlayer {
        std::shared_ptr<int> starts = std::make_shared<int>(0);
        void Start(std::shared_ptr<const ClipData>, int) override { ++*starts; }
    };
    auto player = std::make_shared<CountingPlayer>();
    const std::shared_ptr<int> starts = player->starts;
    Sound orphan(Constant(0.5f, 2), player);
    orphan.Play();
    player.reset();
    orphan.Play();
    EXPECT_EQ(*starts, 1);
}

TEST_F(SoundSystemTest, ReadsClipsFromItsStoreDecodedAheadAndPlaysThem) {
    store[168] =
        EncodeClip(std::vector<std::int16_t>{16384, -16384, 8192}, 48000, 1, ClipFormat::Flac16);
    store[169] = std::vector<std::byte>(16, std::byte{1});  // not a sound file
    // Read and decoded ahead on a worker, in list order, before anything asks for them; then
    // each first request finds its clip without reading it again.
    system->DecodeAhead({168, 169, 177});
    for (int waited = 0; reads[177] == 0 && waited < 5000; ++waited) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));  // a worker: real time
    }
    ASSERT_EQ(reads[168] + reads[169] + reads[177], 3) << "not read ahead";
    auto beep = system->GetSound(168);
    ASSERT_NE(beep, nullptr);
    EXPECT_EQ(system->GetSound(169), nullptr);
    EXPECT_EQ(system->GetSound(177), nullptr);
    EXPECT_EQ(reads[168] + reads[169], 2);
    EXPECT_EQ(system->GetSound(169), nullptr);
    EXPECT_EQ(reads[169], 2) << "a clip that was not there is looked for again";
    EXPECT_NE(system->GetSound(168), beep) << "each call makes a new Sound";
    beep->Play();
    offline->Render(4);
    EXPECT_EQ(offline->Rendered(), (std::vector<float>{0.5f, -0.5f, 0.25f, 0.0f}));
}

// The trace's seam: every Play, with the resource number of its clip and the stamp it carries,
// even on a system without an output (a render observes one that plays).
TEST_F(SoundSystemTest, EveryPlayIsToldWithItsClipsNumberAndStampSilentOrNot) {
    using Told = std::tuple<int, double, std::size_t>;
    std::vector<Told> told;
    const auto tell = [&told](const SoundSystem::StampedPlay& play) {
        told.emplace_back(play.number, play.atUs, play.lengthInFrames);
    };
    store[175] = EncodeClip(std::vector<std::int16_t>(5, 100), 48000, 1, ClipFormat::Wav16);
    const auto silent = std::make_shared<SoundSystem>(
        clock, [this](int number) { return std::optional(store.at(number)); });
    silent->ObservePlays(tell);
    clock.Set(2'500'000.5);
    silent->GetSound(175)->Play();
    Sound(Constant(0.5f, 7), silent).Play();  // a clip the store did not hand out
    EXPECT_EQ(told, (std::vector<Told>{{175, 2'500'000.5, 5}, {0, 2'500'000.5, 7}}));
}

}  // namespace
}  // namespace lark
