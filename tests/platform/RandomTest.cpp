#include "platform/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <set>

namespace lark {
namespace {

// Chi-square statistic of observed counts against a uniform expectation.
template <std::size_t N>
double ChiSquare(const std::array<int, N>& counts, int total) {
    const double expected = static_cast<double>(total) / N;
    double chi = 0;
    for (int c : counts) {
        chi += (c - expected) * (c - expected) / expected;
    }
    return chi;
}

TEST(RandomTest, InRangeIncludesBothBoundsAndNothingOutside) {
    MersenneRandomSource source(42);
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        const int v = source.NewRandom()->InRange(0, 1);
        ASSERT_TRUE(v == 0 || v == 1);
        seen.insert(v);
        const int w = source.NewRandom()->InRange(1, 13);
        ASSERT_GE(w, 1);
        ASSERT_LE(w, 13);
        seen.insert(100 + w);
    }
    EXPECT_TRUE(seen.count(0) && seen.count(1) && seen.count(101) && seen.count(113));
}

TEST(RandomTest, FreshObjectsGiveUniformIndependentDraws) {
    // One draw from each new object, as the performances draw.
    MersenneRandomSource source(7);
    std::array<int, 13> counts{};
    constexpr int kDraws = 130'000;
    for (int i = 0; i < kDraws; ++i) {
        ++counts[source.NewRandom()->InRange(1, 13) - 1];
    }
    // 12 degrees of freedom: 32.9 is the 0.999 quantile.
    EXPECT_LT(ChiSquare(counts, kDraws), 32.9);

    // Consecutive draws are independent: pairs (a, b) are uniform over 13 x 13.
    std::array<int, 169> pairs{};
    for (int i = 0; i < kDraws; ++i) {
        const int a = source.NewRandom()->InRange(0, 12);
        const int b = source.NewRandom()->InRange(0, 12);
        ++pairs[a * 13 + b];
    }
    // 168 degrees of freedom: 231 is about the 0.999 quantile.
    EXPECT_LT(ChiSquare(pairs, kDraws), 231.0);
}

TEST(RandomTest, TheSameKeyRepeatsAndDifferentKeysDiffer) {
    auto draws = [](MersenneRandomSource source) {
        std::vector<int> v;
        for (int i = 0; i < 20; ++i) {
            v.push_back(source.NewRandom()->InRange(0, 1'000'000));
        }
        return v;
    };
    EXPECT_EQ(draws(MersenneRandomSource(3)), draws(MersenneRandomSource(3)));
    EXPECT_NE(draws(MersenneRandomSource(3)), draws(MersenneRandomSource(4)));
    EXPECT_NE(draws(MersenneRandomSource()), draws(MersenneRandomSource()));
}

}  // namespace
}  // namespace lark
