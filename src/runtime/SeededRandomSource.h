#pragma once

#include <cstdint>
#include <memory>

#include "runtime/Random.h"

namespace lark {

// Draws that can be heard again: every performance restarts them from one seed, so with the
// same seed a mode plays the same orders each time it starts, in every run of the program.
class SeededRandomSource final : public RandomSource {
  public:
    explicit SeededRandomSource(std::uint64_t seed) : seed_(seed), draws_(seed) {}

    // A performance starts: its draws begin again from the seed.
    void Restart() { draws_ = MersenneRandomSource(seed_); }
    std::unique_ptr<Random> NewRandom() override { return draws_.NewRandom(); }

  private:
    std::uint64_t seed_;
    MersenneRandomSource draws_;
};

}  // namespace lark
