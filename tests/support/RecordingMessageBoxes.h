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
    std::unique_ptr<OpenBox> Open(const std::string& text, Kind kind,
                                  std::function<void()> onDismissed) override {
        texts.push_back(text);
        kinds.push_back(kind);
        boxes_.push_back(std::make_shared<Box>(std::move(onDismissed)));
        auto handle = std::make_unique<Handle>(boxes_.back());
        if (autoDismiss) {
            DismissOldest();
        }
        return handle;
    }

    std::size_t OpenCount() const { return std::count_if(boxes_.begin(), boxes_.end(), IsOpen); }
    // Dismisses the oldest box still open, as a click on its button would.
    void DismissOldest() {
        const auto it = std::find_if(boxes_.begin(), boxes_.end(), IsOpen);
        if (it != boxes_.end()) {
            const auto box = *it;  // held: its callback may open the next box
            box->open = false;
            box->onDismissed();
        }
    }

    bool autoDismiss = true;
    std::vector<std::string> texts;
    std::vector<Kind> kinds;

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
    static bool IsOpen(const std::shared_ptr<Box>& box) { return box->open; }

    std::vector<std::shared_ptr<Box>> boxes_;
};

}  // namespace lark::testing
