#pragma once

#include <cstdint>
#include <optional>

#include "runtime/Random.h"
#include "runtime/SeededRandomSource.h"
#include "ui/Window.h"

namespace lark {

// The performances' random source in a live run: keyed from the device as always, or, given a
// seed, begun again from it as each performance starts.
class PerformanceDraws {
  public:
    explicit PerformanceDraws(std::optional<std::uint64_t> seed);

    RandomSource& Source();
    // With a seed, every thread on the window restarts the draws as it starts its run.
    void RestartAtEveryRun(Window& window);

  private:
    std::optional<SeededRandomSource> seeded_;
    std::optional<MersenneRandomSource> unseeded_;
};

}  // namespace lark
