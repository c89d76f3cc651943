#pragma once

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "runtime/Task.h"

namespace lark {

// A menu item as a model: the window renders it into Qt menus. Shortcuts are written
// "Cmd+Q"; Cmd maps to Qt's Ctrl, which is the Command key on macOS.
class MenuItem {
  public:
    MenuItem() = default;
    virtual ~MenuItem() = default;
    MenuItem(const MenuItem&) = delete;
    MenuItem& operator=(const MenuItem&) = delete;

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    const std::string& Text() const { return text_; }
    void SetText(std::string text) { text_ = std::move(text); }
    const std::string& KeyboardShortcut() const { return shortcut_; }
    void SetKeyboardShortcut(std::string shortcut) { shortcut_ = std::move(shortcut); }
    bool AutoEnable() const { return autoEnable_; }
    void SetAutoEnable(bool on) { autoEnable_ = on; }

    bool IsSeparator() const { return text_ == "-"; }
    virtual bool IsQuit() const { return false; }

    void Append(std::unique_ptr<MenuItem> item) { children_.push_back(std::move(item)); }
    std::size_t Count() const { return children_.size(); }
    MenuItem& Item(std::size_t i) const { return *children_.at(i); }
    // Searches the whole subtree; throws NilObjectException("menu item <name>") if absent.
    MenuItem& Child(const std::string& name) const;
    MenuItem* FindChild(const std::string& name) const;

  private:
    std::string name_;
    std::string text_;
    std::string shortcut_;
    bool autoEnable_ = false;
    std::vector<std::unique_ptr<MenuItem>> children_;
};

// Choosing it quits the application unless a handler takes the command first.
class QuitMenuItem : public MenuItem {
  public:
    bool IsQuit() const override { return true; }
};

// The top of a menu tree: its items are the menus.
class MenuBar : public MenuItem {};

// Menu handlers bound by item name; a handler's result says whether it handled the command.
using MenuHandler = std::function<Task<bool>()>;

class MenuHandlers {
  public:
    void Add(std::string itemName, MenuHandler handler);
    const MenuHandler* Find(const std::string& itemName) const;

  private:
    std::map<std::string, MenuHandler, std::less<>> handlers_;
};

// What a window needs of the application it belongs to: the handlers that take the commands
// its own did not, and the quit action.
class ApplicationCommands {
  public:
    virtual const MenuHandlers& Handlers() const = 0;
    virtual void Quit() = 0;

  protected:
    ~ApplicationCommands() = default;
};

// Offers a command to the window's handlers, then to the application's when the window has
// no handler for it or its handler returns false; runs `unhandled` when nobody took it.
// Either handlers pointer may be null. Run it as a scheduler job: handlers may await.
Task<> DeliverMenuCommand(std::string itemName, const MenuHandlers* window,
                          const MenuHandlers* application, std::function<void()> unhandled);

}  // namespace lark
