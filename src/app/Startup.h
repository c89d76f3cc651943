#pragma once

#include <functional>
#include <memory>

#include "app/App.h"
#include "runtime/Runtime.h"
#include "ui/FileType.h"

namespace lark {

class SoundBank;
class Window1;

// The system's document types: only text, which nothing ever opens or saves.
struct FileTypes {
    FileType text;
};

// Names the desktop knows the piece by: for the task bar, the window title and the .desktop
// file. Call once the QApplication exists.
void SetApplicationIdentity();

// Start-up after the framework is up: the file type, the application object with the shared
// menu bar, its About handler, the default window; then the event loop. Keeps the
// application object, and through it the window, until destroyed.
class Startup {
  public:
    using EventLoop = std::function<int()>;

    // quit ends the event loop; empty means Qt's.
    Startup(Runtime& runtime, SoundBank& sounds, std::function<void()> quit = {});
    ~Startup();

    // Runs the start-up steps in order, then the event loop; returns the loop's exit status.
    int _Main(const EventLoop& runEventLoop);

    void _InitFileTypes();
    void _NewAppInstance();
    void _ApplicationAddMenuHandlers();
    void _MakeDefaultView();

    const FileTypes& GetFileTypes() const { return fileTypes_; }
    const FileTypeRegistry& Registry() const { return registry_; }
    App* GetApp() const { return app_.get(); }
    // The open default window, or nullptr before _MakeDefaultView.
    Window1* DefaultWindow() const;

  private:
    Runtime& runtime_;
    SoundBank& sounds_;
    std::function<void()> quit_;
    FileTypes fileTypes_;
    FileTypeRegistry registry_;
    std::unique_ptr<App> app_;
};

}  // namespace lark
