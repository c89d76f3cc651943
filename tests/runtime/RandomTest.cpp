#include "runtime/Random.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <numeric>

namespace lark {
namespace {

// Pearson's chi-square of counts against an even spread of their total over the cells.
template <std::size_t N>
double ChiSquareUniform(const std::array<int, N>& counts) {
    const double expected = std::accumulate(counts.begin(), counts.end(), 0.0) / N;
    double chi = 0;
    for (int n : counts) {
        chi += (n - expected) * (n - expected) / expected;
    }
    return chi;
}

// One draw from each new object, as the performances draw.
TEST(RandomTest, FreshObjectsGiveUniformIndependentDrawsIncludingBothBounds) {
    MersenneRandomSource source(7);
    std::array<int, 13> counts{};
    std::array<int, 169> pairs{};  // consecutive draws (a, b): uniform over 13 x 13
    for (int i = 0; i < 130'000; ++i) {
        const int v = source.NewRandom()->InRange(1, 13);
        const int a = source.NewRandom()->InRange(0, 12);
        const int b = source.NewRandom()->InRange(0, 12);
        ASSERT_TRUE(v >= 1 && v <= 13 && a >= 0 && a <= 12 && b >= 0 && b <= 12);
        ++counts[v - 1];
        ++pairs[a * 13 + b];
    }
    // 0.999 quantiles: 32.9 for 12 degrees of freedom, about 231 for 168.
    EXPECT_LT(ChiSquareUniform(counts), 32.9);
    EXPECT_LT(ChiSquareUniform(pairs), 231.0);
}

// A seed repeats its draws (the app's SeedTest); without one, each source draws its own.
TEST(RandomTest, SourcesKeyedFromTheDeviceDrawDifferently) {
    const auto draw = [] { return MersenneRandomSource().NewRandom()->InRange(0, INT32_MAX); };
    EXPECT_NE(draw(), draw());  // alike once in 2^31 runs
}

}  // namespace
}  // namespace lark
