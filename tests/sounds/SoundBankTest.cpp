#include "sounds/SoundBank.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "platform/NilObjectException.h"

namespace lark {
namespace {

// Hands out a fresh Sound for every number not marked missing, and records every request.
class FakeStore final : public ResourceFork {
  public:
    std::shared_ptr<Sound> GetSound(int number) override {
        requests.push_back(number);
        if (missing.count(number) != 0) {
            return nullptr;
        }
        return std::make_shared<Sound>(std::make_shared<ClipData>(), std::weak_ptr<ClipPlayer>());
    }
    std::vector<int> requests;
    std::set<int> missing;
};

class SoundBankTest : public ::testing::Test {
  protected:
    FakeStore store;
    SoundBank bank{[this] { return &store; }};
};

TEST_F(SoundBankTest, FirstBeepLoadsResource168AndTheSecondReturnsTheSameObject) {
    Sound* first = bank.beep();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(store.requests, std::vector<int>{168});
    Sound* second = bank.beep();
    EXPECT_EQ(second, first);
    EXPECT_EQ(store.requests, std::vector<int>{168});
}

TEST_F(SoundBankTest, VolumeSetThroughOneCallHoldsForTheNext) {
    bank.man()->SetVolume(37);
    EXPECT_EQ(bank.man()->Volume(), 37);
}

TEST_F(SoundBankTest, MissingClipIsNilEveryTimeAndAskedForAgainWhileOthersLoad) {
    store.missing = {177};
    EXPECT_EQ(bank.silence(), nullptr);
    EXPECT_EQ(bank.silence(), nullptr);
    EXPECT_EQ(store.requests, (std::vector<int>{177, 177}));
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        if (clip.number != 177) {
            EXPECT_NE((bank.*clip.getter)(), nullptr) << clip.name;
        }
    }
    store.missing.clear();  // the store found it after all: the next call loads and keeps it
    Sound* late = bank.silence();
    ASSERT_NE(late, nullptr);
    EXPECT_EQ(bank.silence(), late);
}

TEST_F(SoundBankTest, Step1AnswersTo179AndThatsTo180) {
    bank.step1();
    bank.thats();
    EXPECT_EQ(store.requests, (std::vector<int>{179, 180}));
}

TEST_F(SoundBankTest, EveryGetterLoadsTheNumberItsTableEntrySays) {
    int expected = 168;
    for (const SoundBank::Clip& clip : SoundBank::Clips()) {
        store.requests.clear();
        (bank.*clip.getter)();
        EXPECT_EQ(store.requests, std::vector<int>{clip.number}) << clip.name;
        EXPECT_EQ(clip.number, expected++) << clip.name;  // alphabetical, 168 to 180
    }
    EXPECT_EQ(SoundBank::Find(&SoundBank::mankind)->number, 174);
}

TEST_F(SoundBankTest, NoResourceStoreThrowsNilObject) {
    SoundBank orphan([] { return static_cast<ResourceFork*>(nullptr); });
    EXPECT_THROW(orphan.leap(), NilObjectException);
    EXPECT_THROW(orphan.leap(), NilObjectException);
}

TEST_F(SoundBankTest, NothingIsLoadedBeforeTheFirstRequest) {
    SoundBank fresh([this] { return &store; });
    EXPECT_TRUE(store.requests.empty());
}

}  // namespace
}  // namespace lark
