#pragma once

#include <span>

#include "runtime/Runtime.h"
#include "runtime/Task.h"
#include "runtime/Thread.h"
#include "sequencer/Stage.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/Menu.h"
#include "ui/Window.h"
#include "window/ModeThreads.h"

namespace lark {

class SoundBank;  // window/ does not include sounds/

// The piece's one window: the transport buttons, the three mode buttons, the busy indicator
// and one thread per mode. Controls are looked up by name at every use, never kept. It is the
// stage its performances play on.
class Window1 : public Window, private Stage {
  public:
    static constexpr const char* kClassName = "Window1.Window1";

    // The open Window1, built on the first request; later requests return the same window.
    // The application owns it.
    static Window1& Instance(Application& application, Runtime& runtime, SoundBank& sounds,
                             MenuBar& menuBar);

    // Builds and shows the window: Layout, CreateControls, AddMenuHandlers.
    Window1(Runtime& runtime, SoundBank& sounds, Application& application, MenuBar& menuBar);

    void Layout(MenuBar& menuBar);
    void CreateControls();
    void _CreateControls0();
    void AddMenuHandlers();

    Task<> play_Action();           // "Action" of play
    Task<> stop_Action();           // "Action" of stop
    Task<> Class11_Run();           // "Run" of Class11: looped 2
    Task<> Class21_Run();           // "Run" of Class21: one shot
    Task<> Class31_Run();           // "Run" of Class31: looped 1
    Task<bool> _aboutqv8_Action();  // nothing of the window's own: returns false

    MenuItem& EditMenu() const;
    MenuItem& EditClear() const;
    MenuItem& EditPaste() const;
    MenuItem& EditCopy() const;
    MenuItem& EditCut() const;
    MenuItem& UntitledMenu0() const;
    MenuItem& EditUndo() const;
    MenuItem& FileMenu() const;
    QuitMenuItem& FileQuit() const;
    MenuItem& aboutqv8() const;

  private:
    MenuItem& MenuItemNamed(const std::string& name) const;

    void SetButtonEnabled(Stage::Button button, bool on) override;
    bool StopEnabled() override;
    void HideBusyIndicator() override;

    Runtime& runtime_;
    SoundBank& sounds_;
};

// The stored layout records, one per object; the three threads share one.
namespace layout {
std::span<const std::uint8_t> Window1Record();
std::span<const std::uint8_t> PlayRecord();
std::span<const std::uint8_t> StopRecord();
std::span<const std::uint8_t> Looped2Record();
std::span<const std::uint8_t> OneshotRecord();
std::span<const std::uint8_t> ChasingArrows1Record();
std::span<const std::uint8_t> Looped1Record();
std::span<const std::uint8_t> ThreadRecord();
}  // namespace layout

}  // namespace lark
