#include "ui/Window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <algorithm>
#include <stdexcept>

#include "ui/PropertyTables.h"

namespace lark {
namespace {

QString ToQt(const std::string& s) {
    return QString::fromStdString(s);
}

// "Cmd+Q" and the like: Qt's Ctrl is the Command key on macOS and Control elsewhere.
QKeySequence ToKeySequence(const std::string& shortcut) {
    QString text = ToQt(shortcut);
    text.replace(QStringLiteral("Cmd+"), QStringLiteral("Ctrl+"));
    return QKeySequence::fromString(text, QKeySequence::PortableText);
}

// A menu with an empty title would be a blank, unreachable slot in the bar; it is shown under
// its name instead, less a trailing "Menu" ("EditMenu" shows as "Edit").
QString MenuTitle(const MenuItem& menu) {
    if (!menu.Text().empty()) {
        return ToQt(menu.Text());
    }
    QString name = ToQt(menu.Name());
    if (name.endsWith(QStringLiteral("Menu")) && name.size() > 4) {
        name.chop(4);
    }
    return name;
}

}  // namespace

Window::Window(Scheduler& scheduler, ApplicationCommands& application)
    : scheduler_(scheduler),
      application_(application),
      content_(new QWidget(this)),
      radioGroup_(new QButtonGroup(this)) {
    setCentralWidget(content_);
    radioGroup_->setExclusive(true);
    UpdateFlags();
    UpdateSize();
}

Window::~Window() = default;

// --- objects

void Window::Add(const std::string& name, std::unique_ptr<PlacedObject> object) {
    if (!object) {
        throw NilObjectException("control " + name);
    }
    auto [it, added] = objects_.try_emplace(name, std::move(object));
    if (!added) {
        throw std::logic_error("the window already has a control named " + name);
    }
    order_.push_back(name);
}

ControlContext Window::ForControls() {
    return ControlContext{*content_, scheduler_, *radioGroup_};
}

// --- menus

void Window::SetMenuBar(MenuBar* menuBar) {
    menuBar_ = menuBar;
    RenderMenuBar();
}

void Window::RenderMenuBar() {
    QMenuBar* bar = menuBar();
    bar->clear();
    menus_.clear();
    actions_.clear();
    if (menuBar_ == nullptr) {
        return;
    }
    for (std::size_t m = 0; m < menuBar_->Count(); ++m) {
        const MenuItem& menuItem = menuBar_->Item(m);
        QMenu* menu = bar->addMenu(MenuTitle(menuItem));
        menu->setObjectName(ToQt(menuItem.Name()));
        menu->setEnabled(menuItem.AutoEnable());
        menus_[menuItem.Name()] = menu;
        for (std::size_t i = 0; i < menuItem.Count(); ++i) {
            const MenuItem& item = menuItem.Item(i);
            QAction* action =
                item.IsSeparator() ? menu->addSeparator() : menu->addAction(ToQt(item.Text()));
            action->setObjectName(ToQt(item.Name()));
            actions_[item.Name()] = action;
            if (item.IsSeparator()) {
                continue;
            }
            action->setShortcut(ToKeySequence(item.KeyboardShortcut()));
            action->setEnabled(item.AutoEnable());
            if (item.IsQuit()) {
                action->setMenuRole(QAction::QuitRole);
            }
            const std::string name = item.Name();
            connect(action, &QAction::triggered, this, [this, name] { ChooseMenuItem(name); });
        }
    }
}

void Window::ChooseMenuItem(const std::string& itemName) {
    if (menuBar_ == nullptr) {
        throw NilObjectException("menu bar");
    }
    const MenuItem& item = menuBar_->Child(itemName);
    if (item.IsSeparator()) {
        return;
    }
    std::function<void()> unhandled;
    if (item.IsQuit()) {
        unhandled = [app = &application_] { app->Quit(); };
    }
    scheduler_.Spawn(itemName + ".Action",
                     DeliverMenuCommand(itemName, &menuHandlers_, &application_.Handlers(),
                                        std::move(unhandled)));
}

QMenu* Window::MenuOf(const std::string& itemName) const {
    const auto it = menus_.find(itemName);
    return it == menus_.end() ? nullptr : it->second;
}

QAction* Window::ActionOf(const std::string& itemName) const {
    const auto it = actions_.find(itemName);
    return it == actions_.end() ? nullptr : it->second;
}

// --- properties

std::string Window::Title() const {
    return windowTitle().toStdString();
}
void Window::SetTitle(const std::string& title) {
    setWindowTitle(ToQt(title));
}
void Window::SetWidth(int width) {
    width_ = width;
    UpdateSize();
}
void Window::SetHeight(int height) {
    height_ = height;
    UpdateSize();
}
void Window::SetMinWidth(int w) {
    minWidth_ = w;
    UpdateSize();
}
void Window::SetMinHeight(int h) {
    minHeight_ = h;
    UpdateSize();
}
void Window::SetMaxWidth(int w) {
    maxWidth_ = w;
    UpdateSize();
}
void Window::SetMaxHeight(int h) {
    maxHeight_ = h;
    UpdateSize();
}
void Window::SetResizeable(bool on) {
    resizeable_ = on;
    UpdateSize();
    UpdateFlags();
}
void Window::SetCloseButton(bool on) {
    closeButton_ = on;
    UpdateFlags();
}
void Window::SetMinimizeButton(bool on) {
    minimizeButton_ = on;
    UpdateFlags();
}
void Window::SetMaximizeButton(bool on) {
    maximizeButton_ = on;
    UpdateFlags();
}
void Window::SetMenuBarVisible(bool on) {
    menuBarVisible_ = on;
    menuBar()->setVisible(on);
}
void Window::SetFullScreen(bool on) {
    fullScreen_ = on;
    if (built_ && visible_) {
        on ? showFullScreen() : showNormal();
    }
}
void Window::SetVisible(bool on) {
    visible_ = on;
    if (built_) {
        setVisible(on);
    }
}

void Window::UpdateFlags() {
    // CustomizeWindowHint turns the title bar buttons off unless asked for one by one.
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (closeButton_) {
        flags |= Qt::WindowCloseButtonHint;
    }
    if (minimizeButton_) {
        flags |= Qt::WindowMinimizeButtonHint;
    }
    if (maximizeButton_ && resizeable_) {
        flags |= Qt::WindowMaximizeButtonHint;
    }
    if (!resizeable_) {
        flags |= Qt::MSWindowsFixedSizeDialogHint;
    }
    if (flags == windowFlags()) {
        return;
    }
    const bool shown = isVisible();
    setWindowFlags(flags);  // hides a shown window
    if (shown) {
        show();
    }
}

void Window::UpdateSize() {
    if (resizeable_) {
        content_->setMinimumSize(minWidth_, minHeight_);
        content_->setMaximumSize(maxWidth_, maxHeight_);
        content_->resize(width_, height_);
        layout()->setSizeConstraint(QLayout::SetDefaultConstraint);
    } else {
        content_->setFixedSize(width_, height_);
        layout()->setSizeConstraint(QLayout::SetFixedSize);
    }
}

void Window::FinishConstruction() {
    built_ = true;
    OrderFocusByPosition();
    if (!visible_) {
        return;
    }
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        setGeometry(QStyle::alignedRect(Qt::LeftToRight, Qt::AlignCenter, size(),
                                        screen->availableGeometry()));
    }
    fullScreen_ ? showFullScreen() : show();
}

// Tab follows reading order, top to bottom and left to right, not the order of creation.
void Window::OrderFocusByPosition() {
    QList<QWidget*> controls;
    for (QWidget* child : content_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (child->focusPolicy() & Qt::TabFocus) {
            controls.append(child);
        }
    }
    std::stable_sort(controls.begin(), controls.end(), [](const QWidget* a, const QWidget* b) {
        return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
    });
    for (qsizetype i = 1; i < controls.size(); ++i) {
        QWidget::setTabOrder(controls[i - 1], controls[i]);
    }
}

void Window::closeEvent(QCloseEvent* event) {
    event->accept();
    application_.Quit();
}

PropertyTable Window::Properties() const {
    return WindowProperties();
}

void Window::SetProperty(std::uint16_t index, const PropertyValue& value) {
    namespace w = prop::window;
    switch (index) {
        case w::Visible:
            return SetVisible(AsBoolean(value));
        case w::Width:
            return SetWidth(AsInteger(value));
        case w::Height:
            return SetHeight(AsInteger(value));
        case w::Title:
            return SetTitle(AsString(value));
        case w::FullScreen:
            return SetFullScreen(AsBoolean(value));
        case w::MenuBarVisible:
            return SetMenuBarVisible(AsBoolean(value));
        case w::CloseButton:
            return SetCloseButton(AsBoolean(value));
        case w::Resizeable:
            return SetResizeable(AsBoolean(value));
        case w::MaximizeButton:
            return SetMaximizeButton(AsBoolean(value));
        case w::MinimizeButton:
            return SetMinimizeButton(AsBoolean(value));
        case w::MinWidth:
            return SetMinWidth(AsInteger(value));
        case w::MinHeight:
            return SetMinHeight(AsInteger(value));
        case w::MaxWidth:
            return SetMaxWidth(AsInteger(value));
        case w::MaxHeight:
            return SetMaxHeight(AsInteger(value));
        // Qt decides these for itself (placement, frame kind, compositing, colour, help):
        // accepted with the type they are stored as, and not kept.
        case w::Placement:
        case w::Frame:
        case w::MacProcId:
            static_cast<void>(AsInteger(value));
            return;
        case w::Composite:
        case w::LiveResize:
        case w::HasBackColor:
            static_cast<void>(AsBoolean(value));
            return;
        case w::BackColor:
            static_cast<void>(AsColour(value));
            return;
        case w::BalloonHelp:
            static_cast<void>(AsString(value));
            return;
        default:
            throw std::invalid_argument("window property index " + std::to_string(index) +
                                        " cannot be set");
    }
}

}  // namespace lark
