#include "audio/DecodeAhead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace lark {
namespace {

// A decoder that notes which thread decoded which clip; clip 0 does not decode. The first
// clip listed can be held up until the test lets it go.
class Decoder {
  public:
    std::shared_ptr<const ClipData> operator()(int number) {
        if (number == held_) {
            gate_.wait();
        }
        std::lock_guard lock(mutex_);
        threads_[number].push_back(std::this_thread::get_id());
        if (++decoded_ == expected_) {
            all_.set_value();
        }
        if (number == 0) {
            return nullptr;
        }
        return std::make_shared<ClipData>(ClipData{48000, std::vector<float>(1, float(number))});
    }
    void Hold(int number) { held_ = number; }
    // Whether `count` decodes were done within a generous time.
    bool AwaitDecodes(int count) {
        {
            std::lock_guard lock(mutex_);
            expected_ = count;
            if (decoded_ >= count) {
                return true;
            }
        }
        return all_.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    }
    void Release() { release_.set_value(); }
    std::vector<std::thread::id> DecodedBy(int number) {
        std::lock_guard lock(mutex_);
        return threads_[number];
    }

  private:
    int held_ = -1;
    std::promise<void> release_;
    std::shared_future<void> gate_ = release_.get_future().share();
    std::mutex mutex_;
    int decoded_ = 0;
    int expected_ = -1;
    std::promise<void> all_;
    std::map<int, std::vector<std::thread::id>> threads_;
};

TEST(DecodeAheadTest, EachClipIsDecodedOnceOffTheTakingThreadAndHandedOutOnce) {
    Decoder decoder;
    std::optional<DecodeAhead> ahead(std::in_place, std::vector<int>{168, 0, 180},
                                     [&](int n) { return decoder(n); });
    ASSERT_TRUE(decoder.AwaitDecodes(3));
    for (int number : {180, 0, 168}) {
        SCOPED_TRACE(number);
        const auto clip = ahead->Take(number);
        ASSERT_TRUE(clip.has_value());
        if (number == 0) {
            EXPECT_EQ(*clip, nullptr) << "a clip that does not decode is handed out as nil";
        } else {
            ASSERT_NE(*clip, nullptr);
            EXPECT_EQ((*clip)->samples.at(0), float(number));
        }
        EXPECT_FALSE(ahead->Take(number).has_value()) << "handed out once";
    }
    EXPECT_FALSE(ahead->Take(170).has_value()) << "not in the list";
    ahead.reset();  // the worker is done
    for (int number : {168, 0, 180}) {
        ASSERT_EQ(decoder.DecodedBy(number).size(), 1u) << number;
        EXPECT_NE(decoder.DecodedBy(number)[0], std::this_thread::get_id()) << number;
    }
}

TEST(DecodeAheadTest, AClipTheWorkerHasNotReachedIsDecodedByTheCallerWithoutWaiting) {
    Decoder decoder;
    decoder.Hold(168);  // the worker stays on the first clip until released
    std::optional<DecodeAhead> ahead(std::in_place, std::vector<int>{168, 169},
                                     [&](int n) { return decoder(n); });
    auto second = std::async(std::launch::async, [&] { return ahead->Take(169); });
    const bool answered = second.wait_for(std::chrono::seconds(10)) == std::future_status::ready;
    decoder.Release();
    ASSERT_TRUE(answered) << "waited for the worker";
    const auto clip = second.get();
    ASSERT_TRUE(clip.has_value() && *clip);
    EXPECT_EQ((*clip)->samples.at(0), 169.0f);
    const auto first = ahead->Take(168);  // waits for the worker, which now finishes it
    ASSERT_TRUE(first.has_value() && *first);
    ahead.reset();
    EXPECT_EQ(decoder.DecodedBy(169).size(), 1u) << "the worker skips what was taken";
    EXPECT_EQ(decoder.DecodedBy(168).size(), 1u);
}

}  // namespace
}  // namespace lark
