#include "runtime/Random.h"

namespace lark {
namespace {

class MersenneRandom final : public Random {
  public:
    explicit MersenneRandom(std::uint64_t key) : engine_(key) {}
    std::int32_t InRange(std::int32_t low, std::int32_t high) override {
        return std::uniform_int_distribution<std::int32_t>(low, high)(engine_);
    }

  private:
    std::mt19937_64 engine_;
};

std::uint64_t KeyFromDevice() {
    std::random_device device;
    return (std::uint64_t{device()} << 32) | device();
}

}  // namespace

MersenneRandomSource::MersenneRandomSource() : MersenneRandomSource(KeyFromDevice()) {}

MersenneRandomSource::MersenneRandomSource(std::uint64_t key) : parent_(key) {}

std::unique_ptr<Random> MersenneRandomSource::NewRandom() {
    // One word from the process-wide generator starts each object: filling the whole state
    // through a std::seed_seq cost five times as long, on the step between two clips.
    return std::make_unique<MersenneRandom>(parent_());
}

}  // namespace lark
