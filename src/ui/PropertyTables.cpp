#include "ui/PropertyTables.h"

#include <array>

namespace lark {
namespace {

using T = PropertyType;
constexpr T B = T::Boolean, I = T::Integer, S = T::String, U = T::Unstored;

constexpr std::array<PropertyInfo, 29> kWindow{{
    {"Visible", B},
    {"Left", I},
    {"Top", I},
    {"Width", I},
    {"Height", I},
    {"Placement", I},
    {"Title", S},
    {"FullScreen", B},
    {"MenuBarVisible", B},
    {"CloseBox", B},
    {"CloseButton", B},
    {"GrowIcon", B},
    {"Resizeable", B},
    {"ZoomIcon", B},
    {"MaximizeButton", B},
    {"MinimizeButton", B},
    {"Frame", I},
    {"Composite", B},
    {"LiveResize", B},
    {"Backdrop", U},
    {"Graphics", U},
    {"HasBackColor", B},
    {"BackColor", T::Colour},
    {"BalloonHelp", S},
    {"MinWidth", I},
    {"MinHeight", I},
    {"MaxWidth", I},
    {"MaxHeight", I},
    {"MacProcId", I},
}};

#define LARK_CONTROL_ENTRIES                                                           \
    {"Name", S}, {"Index", I}, {"TabPanelIndex", I}, {"PanelIndex", I}, {"MouseX", I}, \
        {"MouseY", I}, {"Window", U}, {"Handle", I}, {"private8", U}, {"private9", U}, \
        {"private10", U}, {"private11", U}, {"private12", U}, {                        \
        "private13", U                                                                 \
    }
#define LARK_RECTCONTROL_ENTRIES                                                                  \
    LARK_CONTROL_ENTRIES, {"HelpTag", S}, {"BalloonHelp", S}, {"DisabledBalloonHelp", S},         \
        {"MouseCursor", U}, {"Visible", B}, {"Left", I}, {"Top", I}, {"Width", I}, {"Height", I}, \
        {"Enabled", B}, {"Active", B}, {"AutoDeactivate", B}, {"LockLeft", B}, {"LockTop", B},    \
        {"LockRight", B}, {"LockBottom", B}, {"Parent", U}, {                                     \
        "InitialParent", S                                                                        \
    }

constexpr std::array<PropertyInfo, 14> kControl{{LARK_CONTROL_ENTRIES}};
constexpr std::array<PropertyInfo, 32> kRectControl{{LARK_RECTCONTROL_ENTRIES}};
constexpr std::array<PropertyInfo, 40> kPushButton{{
    LARK_RECTCONTROL_ENTRIES,
    {"Caption", S},
    {"Default", B},
    {"Cancel", B},
    {"TextFont", S},
    {"TextSize", I},
    {"Bold", B},
    {"Italic", B},
    {"Underline", B},
}};
constexpr std::array<PropertyInfo, 39> kRadioButton{{
    LARK_RECTCONTROL_ENTRIES,
    {"Caption", S},
    {"Value", B},
    {"TextFont", S},
    {"TextSize", I},
    {"Bold", B},
    {"Italic", B},
    {"Underline", B},
}};
constexpr std::array<PropertyInfo, 4> kThread{{
    {"StackSize", I},
    {"ThreadID", I},
    {"Priority", I},
    {"State", I},
}};

#undef LARK_RECTCONTROL_ENTRIES
#undef LARK_CONTROL_ENTRIES

}  // namespace

PropertyTable WindowProperties() {
    return kWindow;
}
PropertyTable ControlProperties() {
    return kControl;
}
PropertyTable RectControlProperties() {
    return kRectControl;
}
PropertyTable ChasingArrowsProperties() {
    return kRectControl;
}
PropertyTable PushButtonProperties() {
    return kPushButton;
}
PropertyTable RadioButtonProperties() {
    return kRadioButton;
}
PropertyTable ThreadProperties() {
    return kThread;
}

}  // namespace lark
