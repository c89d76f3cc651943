#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>

#include "ui/Menu.h"

namespace lark {

class Window;

// The application object: the menu bar it hands to its windows, the menu handlers that take
// commands no window handled, the quit action, and the open implicit windows, which it owns.
class Application : public ApplicationCommands {
  public:
    // quit ends the event loop; tests pass their own.
    explicit Application(std::function<void()> quit = {});
    virtual ~Application();
    Application(const Application&) = delete;
    Application& operator=(const Application&) = delete;

    MenuBar* GetMenuBar() const { return menuBar_; }
    void SetMenuBar(MenuBar* menuBar) { menuBar_ = menuBar; }

    void AddMenuHandler(std::string itemName, MenuHandler handler) {
        menuHandlers_.Add(std::move(itemName), std::move(handler));
    }
    const MenuHandlers& Handlers() const override { return menuHandlers_; }

    void Quit() override;

    // The open implicit window of a class, or nullptr; keyed by the class's qualified name.
    Window* ImplicitWindow(const std::string& className) const;
    Window& AddImplicitWindow(std::string className, std::unique_ptr<Window> window);

  private:
    std::function<void()> quit_;
    MenuBar* menuBar_ = nullptr;
    MenuHandlers menuHandlers_;
    std::map<std::string, std::unique_ptr<Window>> implicitWindows_;
};

}  // namespace lark
