#pragma once

#include <functional>
#include <string>

#include "runtime/Runtime.h"
#include "runtime/Task.h"
#include "ui/Application.h"

namespace lark {

// The About message: ten lines joined with EndOfLine, none before the first or after the last.
std::string AboutText();

// The application object. Its only handler of its own is the About item's.
class App final : public Application {
  public:
    explicit App(Runtime& runtime, std::function<void()> quit = {})
        : Application(std::move(quit)), runtime_(runtime) {}

    // Shows the About message and waits for it to be dismissed; returns false, leaving the
    // command unhandled as far as the framework is concerned.
    Task<bool> _aboutqv8_Action();

  private:
    Runtime& runtime_;
};

}  // namespace lark
