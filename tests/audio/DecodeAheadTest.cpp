#include "audio/DecodeAhead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <map>
#include <mutex>
#include <thread>

namespace lark {
namespace {

using namespace std::chrono_literals;

// Notes which threads decoded each clip; clip 0 does not decode; clip 168 says it has begun,
// then waits at `gate`.
struct Decoder {
    std::mutex mutex;
    std::multimap<int, std::thread::id> decodedBy;
    std::promise<void> begun;
    std::shared_future<void> gate;

    std::shared_ptr<const ClipData> operator()(int number) {
        if (number == 168) {
            begun.set_value();
            gate.wait();
        }
        std::lock_guard lock(mutex);
        decodedBy.emplace(number, std::this_thread::get_id());
        return number == 0 ? nullptr : std::make_shared<ClipData>(ClipData{48000, {float(number)}});
    }
};

TEST(DecodeAheadTest, EachClipIsDecodedOnceOffTheTakingThreadAndHandedOutOnce) {
    Decoder decoder;
    std::promise<void> release;
    decoder.gate = release.get_future().share();  // the worker stays on 168 until released
    std::optional<DecodeAhead> ahead(std::in_place, std::vector<int>{168, 0, 180},
                                     [&](int n) { return decoder(n); });
    const bool begun = decoder.begun.get_future().wait_for(10s) == std::future_status::ready;
    // The worker is on 168 and has not reached 180: a request for it decodes it there and
    // then, and the worker skips it later.
    auto early = std::async(std::launch::async, [&] { return ahead->Take(180); });
    const bool answered = early.wait_for(10s) == std::future_status::ready;
    // A request for the clip the worker is on waits for it, however long that takes.
    auto onIt = std::async(std::launch::async, [&] { return ahead->Take(168); });
    const bool waited = onIt.wait_for(50ms) == std::future_status::timeout;
    release.set_value();
    ASSERT_TRUE(begun) << "the worker never started";
    ASSERT_TRUE(answered) << "waited for the worker";
    EXPECT_EQ(early.get().value()->samples.at(0), 180.0f);

    EXPECT_TRUE(waited) << "answered before the worker was done";
    const auto first = onIt.get();
    ASSERT_TRUE(first.has_value() && *first);
    EXPECT_EQ((*first)->samples.at(0), 168.0f);
    EXPECT_FALSE(ahead->Take(168).has_value()) << "handed out once";
    EXPECT_FALSE(ahead->Take(170).has_value()) << "not in the list";
    EXPECT_EQ(ahead->Take(0).value(), nullptr) << "a clip that does not decode is nil";
    ahead.reset();  // the worker is done
    for (int number : {168, 0, 180}) {
        EXPECT_EQ(decoder.decodedBy.count(number), 1u) << number << " decoded more than once";
    }
    EXPECT_NE(decoder.decodedBy.find(168)->second, std::this_thread::get_id());
}

}  // namespace
}  // namespace lark
