#pragma once

#include "ui/LayoutRecord.h"

namespace lark {

// The class property tables the layout records index into. A derived class's table lists
// its base's entries first, so an index means the same property along a class line.
// Indices that name objects or private state are Unstored: no record may carry them.
PropertyTable WindowProperties();
PropertyTable ControlProperties();
PropertyTable RectControlProperties();
PropertyTable ChasingArrowsProperties();
PropertyTable PushButtonProperties();
PropertyTable RadioButtonProperties();
PropertyTable ThreadProperties();

// Property indices used by setters, named after the tables.
namespace prop {
namespace window {
enum : std::uint16_t {
    Visible = 0,
    Left,
    Top,
    Width,
    Height,
    Placement,
    Title,
    FullScreen,
    MenuBarVisible,
    CloseBox,
    CloseButton,
    GrowIcon,
    Resizeable,
    ZoomIcon,
    MaximizeButton,
    MinimizeButton,
    Frame,
    Composite,
    LiveResize,
    Backdrop,
    Graphics,
    HasBackColor,
    BackColor,
    BalloonHelp,
    MinWidth,
    MinHeight,
    MaxWidth,
    MaxHeight,
    MacProcId
};
}  // namespace window
namespace control {
enum : std::uint16_t {
    Name = 0,
    Index,
    TabPanelIndex,
    PanelIndex,
    MouseX,
    MouseY,
    Window,
    Handle,
    HelpTag = 14,
    BalloonHelp,
    DisabledBalloonHelp,
    MouseCursor,
    Visible,
    Left,
    Top,
    Width,
    Height,
    Enabled,
    Active,
    AutoDeactivate,
    LockLeft,
    LockTop,
    LockRight,
    LockBottom,
    Parent,
    InitialParent
};
}  // namespace control
namespace pushbutton {
enum : std::uint16_t { Caption = 32, Default, Cancel, TextFont, TextSize, Bold, Italic, Underline };
}  // namespace pushbutton
namespace radiobutton {
enum : std::uint16_t { Caption = 32, Value, TextFont, TextSize, Bold, Italic, Underline };
}  // namespace radiobutton
namespace thread {
enum : std::uint16_t { StackSize = 0, ThreadID, Priority, State };
}  // namespace thread
}  // namespace prop

}  // namespace lark
