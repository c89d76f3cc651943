#include <gtest/gtest.h>

#include <sstream>

#include "audio/SoundSystem.h"
#include "sounds/SoundBank.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

// The recorded clips as the program carries them: compiled-in resources, decoded to mono at
// the output rate.
TEST(ClipResourcesTest, TheThirteenClipsDecodeFromTheCompiledInResources) {
    testing::VirtualClock clock;
    std::ostringstream log;
    const auto system = SoundSystem::Open(
        clock, [](Mixer& mixer, std::string&) { return std::make_unique<OfflineOutput>(mixer, 0); },
        ReadClipResource, log);
    SoundBank bank{[&] { return system.get(); }};
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        Sound* sound = (bank.*clip.getter)();
        ASSERT_NE(sound, nullptr) << clip.name;
        EXPECT_EQ(sound->clip()->sampleRate, kOutputRateHz) << clip.name;
        EXPECT_GT(sound->clip()->samples.size(), 4800u) << clip.name;  // over 0.1 s
    }
    // The pause lasts its step; the beep is shorter than its step.
    EXPECT_NEAR(static_cast<double>(bank.silence()->clip()->samples.size()) / 48000, 2.84, 0.01);
    EXPECT_LT(static_cast<double>(bank.beep()->clip()->samples.size()) / 48000, 0.27);
    EXPECT_EQ(system->GetSound(167), nullptr);
    EXPECT_EQ(system->GetSound(181), nullptr);
}

}  // namespace
}  // namespace lark
