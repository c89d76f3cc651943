#pragma once

#include <cstdint>
#include <memory>
#include <random>

namespace lark {

// One random number generator, as the performances make a fresh one for every draw.
class Random {
  public:
    virtual ~Random() = default;
    // Uniform over [low, high], both bounds included.
    virtual std::int32_t InRange(std::int32_t low, std::int32_t high) = 0;
};

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    virtual std::unique_ptr<Random> NewRandom() = 0;
};

// Every new Random takes its starting state from one process-wide generator, so objects made
// in quick succession still give independent draws. Given a fixed key, runs are repeatable.
class MersenneRandomSource final : public RandomSource {
  public:
    MersenneRandomSource();  // keyed from std::random_device
    explicit MersenneRandomSource(std::uint64_t key);
    std::unique_ptr<Random> NewRandom() override;

  private:
    std::mt19937_64 parent_;
};

}  // namespace lark
