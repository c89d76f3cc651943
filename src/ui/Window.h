#pragma once

#include <QMainWindow>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "runtime/NilObjectException.h"
#include "runtime/Scheduler.h"
#include "ui/Controls.h"
#include "ui/LayoutRecord.h"
#include "ui/Menu.h"
#include "ui/PlacedObject.h"
#include "ui/PlacedThread.h"

class QAction;
class QButtonGroup;
class QMenu;

namespace lark {

// A top-level window: a menu bar rendered from a MenuBar model, a content area of a set size,
// and the objects placed on it, each registered and found by name. GUI thread only.
class Window : public QMainWindow, public LayoutTarget {
  public:
    Window(Scheduler& scheduler, ApplicationCommands& application);
    ~Window() override;

    // --- objects placed on the window
    // Throws std::logic_error if the name is taken.
    void Add(const std::string& name, std::unique_ptr<PlacedObject> object);
    // Throws NilObjectException("control <name>") when nothing of that kind has that name. A
    // thread is found as a Thread, not as its placement or its own class.
    template <class T>
    T& Find(const std::string& name) const {
        static_assert(std::is_same_v<T, Thread> || !std::is_base_of_v<Thread, T>);
        const auto it = objects_.find(name);
        PlacedObject* object = it == objects_.end() ? nullptr : it->second.get();
        T* found = nullptr;
        if constexpr (std::is_same_v<T, Thread>) {
            const auto* placed = dynamic_cast<const PlacedThread*>(object);
            found = placed ? &placed->GetThread() : nullptr;
        } else {
            found = dynamic_cast<T*>(object);
        }
        if (found == nullptr) {
            throw NilObjectException("control " + name);
        }
        return *found;
    }
    // Names in the order the objects were added.
    const std::vector<std::string>& ObjectNames() const { return order_; }
    ControlContext ForControls();
    QWidget& Content() const { return *content_; }

    // --- menus
    MenuBar* GetMenuBar() const { return menuBar_; }
    void SetMenuBar(MenuBar* menuBar);
    void AddMenuHandler(std::string itemName, MenuHandler handler) {
        menuHandlers_.Add(std::move(itemName), std::move(handler));
    }
    const MenuHandlers& Handlers() const { return menuHandlers_; }
    // A menu command, as choosing the item would give: the window's handler first, then the
    // application's; a quit item quits when no handler took it. Runs as the job
    // "<item>.Action".
    void ChooseMenuItem(const std::string& itemName);
    // The rendered menu or action of an item, or nullptr.
    QMenu* MenuOf(const std::string& itemName) const;
    QAction* ActionOf(const std::string& itemName) const;

    // --- properties. Width and Height are the content area's, without the menu bar.
    std::string Title() const;
    void SetTitle(const std::string& title);
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetWidth(int width);
    void SetHeight(int height);
    int MinWidth() const { return minWidth_; }
    int MinHeight() const { return minHeight_; }
    int MaxWidth() const { return maxWidth_; }
    int MaxHeight() const { return maxHeight_; }
    void SetMinWidth(int w);
    void SetMinHeight(int h);
    void SetMaxWidth(int w);
    void SetMaxHeight(int h);
    bool Resizeable() const { return resizeable_; }
    void SetResizeable(bool on);
    bool CloseButton() const { return closeButton_; }
    void SetCloseButton(bool on);
    bool MinimizeButton() const { return minimizeButton_; }
    void SetMinimizeButton(bool on);
    bool MaximizeButton() const { return maximizeButton_; }
    void SetMaximizeButton(bool on);
    bool MenuBarVisible() const { return menuBarVisible_; }
    void SetMenuBarVisible(bool on);
    bool FullScreen() const { return fullScreen_; }
    void SetFullScreen(bool on);
    // Until the window is built, only remembered; it is shown when construction ends.
    bool Visible() const { return visible_; }
    void SetVisible(bool on);

    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  protected:
    // Ends construction: shows the window, centred on its screen, if it is to be visible.
    void FinishConstruction();
    // A close from the window manager quits, as Quit does: the window is the application.
    void closeEvent(QCloseEvent* event) override;

  private:
    void OrderFocusByPosition();
    void UpdateFlags();
    void UpdateSize();
    void RenderMenuBar();

    Scheduler& scheduler_;
    ApplicationCommands& application_;
    QWidget* content_;          // owned by this QMainWindow
    QButtonGroup* radioGroup_;  // owned by this QMainWindow
    std::map<std::string, std::unique_ptr<PlacedObject>> objects_;
    std::vector<std::string> order_;
    MenuBar* menuBar_ = nullptr;  // the shared one; not owned
    MenuHandlers menuHandlers_;
    std::map<std::string, QMenu*> menus_;      // owned by the QMenuBar
    std::map<std::string, QAction*> actions_;  // owned by their menus

    bool built_ = false;
    bool visible_ = true;
    int width_ = 300;
    int height_ = 300;
    int minWidth_ = 64;
    int minHeight_ = 64;
    int maxWidth_ = 32000;
    int maxHeight_ = 32000;
    bool resizeable_ = true;
    bool closeButton_ = true;
    bool minimizeButton_ = true;
    bool maximizeButton_ = true;
    bool menuBarVisible_ = true;
    bool fullScreen_ = false;
};

}  // namespace lark
