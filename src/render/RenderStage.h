#pragma once

#include "sequencer/Stage.h"

namespace lark {

// The stage of a render, which has no window: the buttons' states go nowhere but stop's, which
// the looped modes read as their end signal.
class RenderStage final : public Stage {
  public:
    void SetButtonEnabled(Button button, bool on) override {
        if (button == Button::stop) {
            stopEnabled_ = on;
        }
    }
    bool StopEnabled() override { return stopEnabled_; }
    void HideBusyIndicator() override {}

  private:
    bool stopEnabled_ = false;
};

}  // namespace lark
