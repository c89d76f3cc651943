#pragma once

#include <iterator>
#include <numeric>

namespace lark::testing {

// Pearson's chi-square of counts against an even spread of their total over the cells.
template <typename Counts>
double ChiSquareUniform(const Counts& counts) {
    const double total = std::accumulate(std::begin(counts), std::end(counts), 0.0);
    const double expected = total / static_cast<double>(std::size(counts));
    double chi = 0;
    for (const auto n : counts) {
        chi += (n - expected) * (n - expected) / expected;
    }
    return chi;
}

}  // namespace lark::testing
