#include "platform/Random.h"

namespace lark {
namespace {

class MersenneRandom final : public Random {
  public:
    explicit MersenneRandom(std::seed_seq& state) : engine_(state) {}
    std::int32_t InRange(std::int32_t low, std::int32_t high) override {
        return std::uniform_int_distribution<std::int32_t>(low, high)(engine_);
    }

  private:
    std::mt19937 engine_;
};

std::uint64_t KeyFromDevice() {
    std::random_device device;
    return (std::uint64_t{device()} << 32) | device();
}

}  // namespace

MersenneRandomSource::MersenneRandomSource() : MersenneRandomSource(KeyFromDevice()) {}

MersenneRandomSource::MersenneRandomSource(std::uint64_t key) : parent_(key) {}

std::unique_ptr<Random> MersenneRandomSource::NewRandom() {
    const std::uint64_t a = parent_();
    const std::uint64_t b = parent_();
    std::seed_seq state{static_cast<std::uint32_t>(a), static_cast<std::uint32_t>(a >> 32),
                        static_cast<std::uint32_t>(b), static_cast<std::uint32_t>(b >> 32)};
    return std::make_unique<MersenneRandom>(state);
}

}  // namespace lark
