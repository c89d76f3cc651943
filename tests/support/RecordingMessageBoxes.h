#pragma once

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
                                  std::function<void()> onDismissed) override;

    const std::vector<Shown>& shown() const { return shown_; }
    std::vector<std::string> texts() const;
    std::size_t OpenCount() const;
    // Dismisses the oldest box still open, as a click on its button would. Returns false if
    // none was open.
    bool DismissOldest();
    void SetAutoDismiss(bool on) { autoDismiss_ = on; }
    void Clear() { shown_.clear(); }

  private:
    struct Box {
        std::function<void()> onDismissed;
        bool open = true;
    };
    class Handle;

    bool autoDismiss_;
    std::vector<Shown> shown_;
    std::vector<std::shared_ptr<Box>> boxes_;
};

}  // namespace lark::testing
