#include "app/Startup.h"

#include <QApplication>

#include "app/MenuBar1.h"
#include "runtime/NilObjectException.h"
#include "window/Window1.h"

namespace lark {

void SetApplicationIdentity() {
    QApplication::setApplicationName(QStringLiteral("larkspool8"));
    QApplication::setApplicationDisplayName(QStringLiteral("Larkspool 8"));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.example.Larkspool8"));
}

Startup::Startup(Runtime& runtime, SoundBank& sounds, std::function<void()> quit)
    : runtime_(runtime), sounds_(sounds), quit_(std::move(quit)) {}

Startup::~Startup() = default;

int Startup::_Main(const EventLoop& runEventLoop) {
    _InitFileTypes();
    _NewAppInstance();
    _ApplicationAddMenuHandlers();
    _MakeDefaultView();
    return runEventLoop();
}

void Startup::_InitFileTypes() {
    FileType& text = fileTypes_.text;
    text.name = "text";
    text.extensions = "";
    text.macType = "TEXT";
    text.macCreator = "R*ch";
    registry_.Register(text);
}

void Startup::_NewAppInstance() {
    app_ = std::make_unique<App>(runtime_, quit_);
    app_->SetMenuBar(&MenuBar1::Instance());
}

void Startup::_ApplicationAddMenuHandlers() {
    if (!app_) {
        throw NilObjectException("application object");
    }
    App* app = app_.get();
    app->AddMenuHandler("aboutqv8", [app] { return app->_aboutqv8_Action(); });
}

void Startup::_MakeDefaultView() {
    if (!app_) {
        throw NilObjectException("application object");
    }
    Window1::Instance(*app_, runtime_, sounds_, MenuBar1::Instance());
}

Window1* Startup::DefaultWindow() const {
    return app_ ? static_cast<Window1*>(app_->ImplicitWindow(Window1::kClassName)) : nullptr;
}

}  // namespace lark
