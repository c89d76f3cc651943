#include "app/PerformanceDraws.h"

#include "runtime/Thread.h"
#include "ui/PlacedThread.h"

namespace lark {

PerformanceDraws::PerformanceDraws(std::optional<std::uint64_t> seed) {
    if (seed) {
        seeded_.emplace(*seed);
    } else {
        unseeded_.emplace();
    }
}

RandomSource& PerformanceDraws::Source() {
    return seeded_ ? static_cast<RandomSource&>(*seeded_) : *unseeded_;
}

void PerformanceDraws::RestartAtEveryRun(Window& window) {
    if (!seeded_) {
        return;
    }
    for (const std::string& name : window.ObjectNames()) {
        if (auto* placed = dynamic_cast<PlacedThread*>(&window.Find<PlacedObject>(name))) {
            placed->GetThread().SetStartListener([this] { seeded_->Restart(); });
        }
    }
}

}  // namespace lark
