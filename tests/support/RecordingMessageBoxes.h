#pragma once

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "runtime/MessageBox.h"

namespace lark::testing {

// Records every message shown. In automatic mode each box is dismissed at once (its job
// resumes on the next turn); otherwise boxes stay open until the test dismisses them.
class RecordingMessageBoxes final : public MessageBoxes {
  public:
    struct Shown {
        std::string text;
        Kind kind;
    };

    explicit RecordingMessageBoxes(bool autoDismiss = true) : autoDismiss_(autoDismiss) {}

    std::unique_ptr<OpenBox> Open(const std::string& text, Kind kind,
                                  std::function<void()> onDismissed) override {
        shown_.push_back({text, kind});
        boxes_.push_back(std::make_shared<Box>(std::move(onDismissed)));
        auto handle = std::make_unique<Handle>(boxes_.back());
        if (autoDismiss_) {
            DismissOldest();
        }
        return handle;
    }

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<std::string> texts() const {
        std::vector<std::string> result;
        for (const auto& s : shown_) {
            result.push_back(s.text);
        }
        return result;
    }
    std::size_t OpenCount() const {
        return std::count_if(boxes_.begin(), boxes_.end(), [](const auto& b) { return b->open; });
    }
    // Dismisses the oldest box still open, as a click on its button would. Returns false if
    // none was open.
    bool DismissOldest() {
        auto it = std::find_if(boxes_.begin(), boxes_.end(), [](const auto& b) { return b->open; });
        if (it == boxes_.end()) {
            return false;
        }
        auto box = *it;  // erased before its callback runs: it may open the next box
        boxes_.erase(it);
        box->open = false;
        box->onDismissed();
        return true;
    }
    void SetAutoDismiss(bool on) { autoDismiss_ = on; }
    void Clear() { shown_.clear(); }

  private:
    struct Box {
        std::function<void()> onDismissed;
        bool open = true;
    };
    // Closing the box from the program's side (a killed job) just marks it closed.
    struct Handle final : OpenBox {
        explicit Handle(std::shared_ptr<Box> box) : box(std::move(box)) {}
        ~Handle() override { box->open = false; }
        std::shared_ptr<Box> box;
    };

    bool autoDismiss_;
    std::vector<Shown> shown_;
    std::vector<std::shared_ptr<Box>> boxes_;
};

}  // namespace lark::testing
