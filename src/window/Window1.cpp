#include "window/Window1.h"

#include <memory>

#include "ui/PlacedThread.h"

namespace lark {

Window1& Window1::Instance(Application& application, Runtime& runtime, SoundBank& sounds,
                           MenuBar& menuBar) {
    if (Window* open = application.ImplicitWindow(kClassName)) {
        return static_cast<Window1&>(*open);
    }
    return static_cast<Window1&>(application.AddImplicitWindow(
        kClassName, std::make_unique<Window1>(runtime, sounds, application, menuBar)));
}

Window1::Window1(Runtime& runtime, SoundBank& sounds, Application& application, MenuBar& menuBar)
    : Window(runtime.scheduler(), application), runtime_(runtime), sounds_(sounds) {
    Layout(menuBar);
    CreateControls();
    AddMenuHandlers();
    FinishConstruction();
}

void Window1::Layout(MenuBar& menuBar) {
    SetMenuBar(&menuBar);
    ApplyLayoutRecord(*this, "Window1", layout::Window1Record());
}

void Window1::CreateControls() {
    _CreateControls0();
}

// Each object: made, added under its name, found again for its record, and found once more
// to bind its event, in creation order. (Tab follows the controls' places, not this order.)
void Window1::_CreateControls0() {
    const ControlContext controls = ForControls();
    Scheduler& scheduler = runtime_.scheduler();
    const auto record = [this](const std::string& name, std::span<const std::uint8_t> bytes) {
        ApplyLayoutRecord(Find<LayoutTarget>(name), name, bytes);
    };
    const auto bind = [this](const std::string& name, std::string_view event,
                             EventHandler handler) {
        Find<PlacedObject>(name).BindEvent(event, std::move(handler));
    };
    const auto place = [this](const std::string& name, std::unique_ptr<Thread> thread) {
        Add(name, std::make_unique<PlacedThread>(std::move(thread)));
    };

    Add("play", std::make_unique<PushButton>(controls));
    record("play", layout::PlayRecord());
    bind("play", "Action", [this] { return play_Action(); });

    place("Class11", std::make_unique<Class11>(scheduler));
    record("Class11", layout::ThreadRecord());
    bind("Class11", "Run", [this] { return Class11_Run(); });

    place("Class21", std::make_unique<Class21>(scheduler));
    record("Class21", layout::ThreadRecord());
    bind("Class21", "Run", [this] { return Class21_Run(); });

    Add("stop", std::make_unique<PushButton>(controls));
    record("stop", layout::StopRecord());
    bind("stop", "Action", [this] { return stop_Action(); });

    Add("looped2", std::make_unique<RadioButton>(controls));
    record("looped2", layout::Looped2Record());

    Add("oneshot", std::make_unique<RadioButton>(controls));
    record("oneshot", layout::OneshotRecord());

    Add("ChasingArrows1", std::make_unique<ChasingArrows>(controls));
    record("ChasingArrows1", layout::ChasingArrows1Record());

    Add("looped1", std::make_unique<RadioButton>(controls));
    record("looped1", layout::Looped1Record());

    place("Class31", std::make_unique<Class31>(scheduler));
    record("Class31", layout::ThreadRecord());
    bind("Class31", "Run", [this] { return Class31_Run(); });
}

void Window1::AddMenuHandlers() {
    AddMenuHandler("aboutqv8", [this] { return _aboutqv8_Action(); });
}

Task<bool> Window1::_aboutqv8_Action() {
    co_return false;
}

MenuItem& Window1::MenuItemNamed(const std::string& name) const {
    if (GetMenuBar() == nullptr) {
        throw NilObjectException("menu bar");
    }
    return GetMenuBar()->Child(name);
}

MenuItem& Window1::EditMenu() const {
    return MenuItemNamed("EditMenu");
}
MenuItem& Window1::EditClear() const {
    return MenuItemNamed("EditClear");
}
MenuItem& Window1::EditPaste() const {
    return MenuItemNamed("EditPaste");
}
MenuItem& Window1::EditCopy() const {
    return MenuItemNamed("EditCopy");
}
MenuItem& Window1::EditCut() const {
    return MenuItemNamed("EditCut");
}
MenuItem& Window1::UntitledMenu0() const {
    return MenuItemNamed("UntitledMenu0");
}
MenuItem& Window1::EditUndo() const {
    return MenuItemNamed("EditUndo");
}
MenuItem& Window1::FileMenu() const {
    return MenuItemNamed("FileMenu");
}
QuitMenuItem& Window1::FileQuit() const {
    auto* quit = dynamic_cast<QuitMenuItem*>(&MenuItemNamed("FileQuit"));
    if (quit == nullptr) {
        throw NilObjectException("menu item FileQuit");
    }
    return *quit;
}
MenuItem& Window1::aboutqv8() const {
    return MenuItemNamed("aboutqv8");
}

}  // namespace lark
