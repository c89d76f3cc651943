#pragma once

#include <memory>

#include "ui/Menu.h"

namespace lark {

// The one menu bar, shared by the application and the window: the About item and Quit, then
// the standard edit items. Built once and never changed.
class MenuBar1 final : public MenuBar {
  public:
    // The shared instance, built on the first call.
    static MenuBar1& Instance();

    MenuBar1();

  private:
    static std::unique_ptr<MenuBar1> _implicitInstance;
};

}  // namespace lark
