#pragma once

namespace lark {

// What a performance needs of the window it plays in: the button states it sets, stop's
// Enabled as the looped modes' end signal, and hiding the busy indicator. Every call reaches
// the window's control afresh, and throws NilObjectException when it is missing.
class Stage {
  public:
    enum class Button { play, stop, oneshot, looped1, looped2 };

    virtual ~Stage() = default;
    virtual void SetButtonEnabled(Button button, bool on) = 0;
    virtual bool StopEnabled() = 0;
    virtual void HideBusyIndicator() = 0;
};

}  // namespace lark
