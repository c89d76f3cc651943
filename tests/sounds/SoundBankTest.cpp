#include "sounds/SoundBank.h"

#include <gtest/gtest.h>

#include "runtime/NilObjectException.h"
#include "support/FakeSounds.h"

namespace lark {
namespace {

class SoundBankTest : public ::testing::Test {
  protected:
    testing::FakeStore store{{}};
    SoundBank bank{&store};
};

TEST_F(SoundBankTest, EachGetterLoadsItsResourceOnceAndKeepsTheClip) {
    bank.DecodeAllAhead();  // all thirteen, and nothing loaded yet
    EXPECT_EQ(store.decodedAhead,
              std::vector<int>({168, 169, 170, 171, 172, 173, 174, 175, 176, 177, 178, 179, 180}));
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        SCOPED_TRACE(clip.name);
        EXPECT_EQ(store.loads[clip.number], 0) << "nothing before the first request";
        Sound* first = (bank.*clip.getter)();
        ASSERT_NE(first, nullptr);
        first->SetVolume(37);
        EXPECT_EQ((bank.*clip.getter)(), first);
        EXPECT_EQ(first->Volume(), 37) << "a volume set through one call holds for the next";
        EXPECT_EQ(store.loads[clip.number], 1);
    }
}

TEST_F(SoundBankTest, AMissingClipIsNilAndAskedForAgainUntilFound) {
    store.missing = {177};
    EXPECT_EQ(bank.silence(), nullptr);
    EXPECT_EQ(bank.silence(), nullptr);
    EXPECT_EQ(store.loads[177], 2);
    EXPECT_NE(bank.one2(), nullptr) << "the others still load";
    store.missing.clear();  // the store found it after all: the next call loads and keeps it
    Sound* late = bank.silence();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(bank.silence(), late);
    EXPECT_EQ(store.loads[177], 3);

    SoundBank orphan(nullptr);
    EXPECT_THROW(orphan.leap(), NilObjectException);
    EXPECT_THROW(orphan.leap(), NilObjectException);
    EXPECT_NO_THROW(orphan.DecodeAllAhead()) << "the getters say it";
}

}  // namespace
}  // namespace lark
