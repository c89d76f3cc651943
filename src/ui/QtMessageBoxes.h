#pragma once

#include <QPointer>
#include <QWidget>

#include "runtime/MessageBox.h"

namespace lark {

// Message boxes as QMessageBox, shown with open() so that no nested event loop runs: jobs and
// timers go on while a box is up. Boxes are window-modal on the given parent.
class QtMessageBoxes final : public MessageBoxes {
  public:
    void SetParent(QWidget* parent) { parent_ = parent; }
    std::unique_ptr<OpenBox> Open(const std::string& text, Kind kind,
                                  std::function<void()> onDismissed) override;

  private:
    QPointer<QWidget> parent_;
};

}  // namespace lark
