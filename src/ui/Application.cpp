#include "ui/Application.h"

#include <QCoreApplication>
#include <stdexcept>

#include "ui/Window.h"

namespace lark {

Application::Application(std::function<void()> quit)
    : quit_(quit ? std::move(quit) : [] { QCoreApplication::quit(); }) {}

Application::~Application() = default;

void Application::Quit() {
    quit_();
}

Window* Application::ImplicitWindow(const std::string& className) const {
    const auto it = implicitWindows_.find(className);
    return it == implicitWindows_.end() ? nullptr : it->second.get();
}

Window& Application::AddImplicitWindow(std::string className, std::unique_ptr<Window> window) {
    auto [it, added] = implicitWindows_.try_emplace(std::move(className), std::move(window));
    if (!added) {
        throw std::logic_error("a " + it->first + " is already open");
    }
    return *it->second;
}

}  // namespace lark
