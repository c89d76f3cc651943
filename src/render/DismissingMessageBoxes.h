#pragma once

#include <functional>
#include <memory>
#include <string>

#include "runtime/MessageBox.h"

namespace lark {

// Message boxes that nobody sees: each is dismissed as it opens, so a performance that ends
// with a message ends at once.
class DismissingMessageBoxes final : public MessageBoxes {
  public:
    std::unique_ptr<OpenBox> Open(const std::string& /*text*/, Kind /*kind*/,
                                  std::function<void()> onDismissed) override {
        onDismissed();  // the awaiting job still resumes on a later turn
        return std::make_unique<OpenBox>();
    }
};

}  // namespace lark
