// How often the machine takes the core from a thread that never yields, and for how long: the
// floor under any timing a program can hold by reading the clock. Spins on the steady clock and
// counts the gaps between consecutive readings longer than one sample at 48 kHz (20.8 µs).
//
//   cpu_gaps [SECONDS]
#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    using Clock = std::chrono::steady_clock;
    const double seconds = argc > 1 ? std::atof(argv[1]) : 5.0;
    constexpr double kLimitsUs[] = {20.8, 50, 100, 1000};
    long counts[std::size(kLimitsUs)] = {};
    double longestUs = 0;
    const auto start = Clock::now();
    const auto end = start + std::chrono::duration<double>(seconds);
    for (auto last = start; last < end;) {
        const auto now = Clock::now();
        const double gapUs = std::chrono::duration<double, std::micro>(now - last).count();
        for (std::size_t i = 0; i < std::size(kLimitsUs); ++i) {
            counts[i] += gapUs > kLimitsUs[i] ? 1 : 0;
        }
        longestUs = gapUs > longestUs ? gapUs : longestUs;
        last = now;
    }
    std::printf("%.0f s spinning: gaps per second", seconds);
    for (std::size_t i = 0; i < std::size(kLimitsUs); ++i) {
        std::printf(", > %g µs: %.1f", kLimitsUs[i], static_cast<double>(counts[i]) / seconds);
    }
    std::printf("; longest %.0f µs\n", longestUs);
}
