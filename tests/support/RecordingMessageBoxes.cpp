#include "support/RecordingMessageBoxes.h"

#include <algorithm>

namespace lark::testing {

class RecordingMessageBoxes::Handle final : public MessageBoxes::OpenBox {
  public:
    explicit Handle(std::shared_ptr<Box> box) : box_(std::move(box)) {}
    ~Handle() override { box_->open = false; }

  private:
    std::shared_ptr<Box> box_;
};

std::unique_ptr<MessageBoxes::OpenBox> RecordingMessageBoxes::Open(
    const std::string& text, Kind kind, std::function<void()> onDismissed) {
    shown_.push_back({text, kind});
    auto box = std::make_shared<Box>();
    box->onDismissed = std::move(onDismissed);
    boxes_.push_back(box);
    auto handle = std::make_unique<Handle>(box);
    if (autoDismiss_) {
        DismissOldest();
    }
    return handle;
}

std::vector<std::string> RecordingMessageBoxes::texts() const {
    std::vector<std::string> result;
    for (const auto& s : shown_) {
        result.push_back(s.text);
    }
    return result;
}

std::size_t RecordingMessageBoxes::OpenCount() const {
    return std::count_if(boxes_.begin(), boxes_.end(), [](const auto& b) { return b->open; });
}

bool RecordingMessageBoxes::DismissOldest() {
    auto it = std::find_if(boxes_.begin(), boxes_.end(), [](const auto& b) { return b->open; });
    if (it == boxes_.end()) {
        return false;
    }
    auto box = *it;
    boxes_.erase(it);
    box->open = false;
    box->onDismissed();
    return true;
}

}  // namespace lark::testing
