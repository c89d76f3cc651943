// Window1's stored layout records, encoded at compile time into their byte form.
#include <climits>

#include "ui/LayoutRecord.h"
#include "ui/PropertyTables.h"
#include "window/Window1.h"

namespace lark::layout {
namespace {

using Record = RecordBuilder<256>;
constexpr std::int32_t kNoIndex = INT32_MIN;  // not part of a control array

struct Rect {
    std::int32_t left, top, width, height;
};

// Name, Index, rectangle, locks and TabPanelIndex: how every control record begins.
constexpr Record ControlStart(std::string_view name, Rect r) {
    namespace c = prop::control;
    Record record;
    record.String(c::Name, name)
        .Integer(c::Index, kNoIndex)
        .Integer(c::Left, r.left)
        .Integer(c::Top, r.top)
        .Integer(c::Width, r.width)
        .Integer(c::Height, r.height)
        .Boolean(c::LockLeft, false)
        .Boolean(c::LockTop, false)
        .Boolean(c::LockRight, false)
        .Boolean(c::LockBottom, false)
        .Integer(c::TabPanelIndex, 0);
    return record;
}

constexpr Record PushButtonRecord(std::string_view name, Rect r, std::string_view caption,
                                  bool enabled) {
    namespace c = prop::control;
    namespace p = prop::pushbutton;
    Record record = ControlStart(name, r);
    record.String(p::Caption, caption)
        .Boolean(p::Default, false)
        .Boolean(p::Cancel, false)
        .Boolean(c::Enabled, enabled)
        .Boolean(c::Visible, true)
        .String(c::HelpTag, "")
        .Boolean(c::AutoDeactivate, true)
        .String(p::TextFont, "System")
        .Integer(p::TextSize, 12)
        .Boolean(p::Bold, false)
        .Boolean(p::Italic, false)
        .Boolean(p::Underline, false)
        .String(c::InitialParent, "");
    return record;
}

constexpr Record RadioButtonRecord(std::string_view name, Rect r, std::string_view caption,
                                   bool selected) {
    namespace c = prop::control;
    namespace rb = prop::radiobutton;
    Record record = ControlStart(name, r);
    record.String(rb::Caption, caption)
        .Boolean(c::Enabled, true)
        .Boolean(c::Visible, true)
        .String(c::HelpTag, "")
        .Boolean(c::AutoDeactivate, true)
        .String(rb::TextFont, "System")
        .Integer(rb::TextSize, 12)
        .Boolean(rb::Bold, false)
        .Boolean(rb::Italic, false)
        .Boolean(rb::Underline, false)
        .Boolean(rb::Value, selected)
        .String(c::InitialParent, "");
    return record;
}

constexpr Record ChasingArrowsRecord(std::string_view name, Rect r) {
    namespace c = prop::control;
    Record record = ControlStart(name, r);
    record.String(c::InitialParent, "")
        .Boolean(c::Visible, false)
        .String(c::HelpTag, "")
        .Boolean(c::AutoDeactivate, true)
        .Boolean(c::Enabled, true);
    return record;
}

constexpr Record MakeWindow1() {
    namespace w = prop::window;
    Record record;
    record.Integer(w::Placement, 0)
        .Integer(w::Width, 300)
        .Integer(w::Height, 300)
        .Integer(w::MinWidth, 64)
        .Integer(w::MinHeight, 64)
        .Integer(w::MaxWidth, 32000)
        .Integer(w::MaxHeight, 32000)
        .Integer(w::Frame, 9)
        .Boolean(w::Composite, true)
        .Boolean(w::HasBackColor, false)
        .Colour(w::BackColor, 255, 255, 255)
        .String(w::Title, "Larkspool 8")
        .Boolean(w::Visible, true)
        .Boolean(w::FullScreen, false)
        .Boolean(w::MenuBarVisible, true)
        .Boolean(w::CloseButton, false)
        .Boolean(w::Resizeable, false)
        .Boolean(w::LiveResize, false)
        .Boolean(w::MaximizeButton, false)
        .Boolean(w::MinimizeButton, false)
        .String(w::BalloonHelp, "")
        .Integer(w::MacProcId, 0);
    return record;
}

constexpr Record MakeThread() {
    Record record;
    record.Integer(prop::thread::Priority, 5).Integer(prop::thread::StackSize, 0);
    return record;
}

constexpr Record kWindow1 = MakeWindow1();
constexpr Record kPlay = PushButtonRecord("play", {115, 140, 70, 20}, "start", true);
constexpr Record kStop = PushButtonRecord("stop", {115, 240, 70, 20}, "stop", false);
constexpr Record kLooped2 = RadioButtonRecord("looped2", {110, 60, 80, 20}, "looped 2", false);
constexpr Record kOneshot = RadioButtonRecord("oneshot", {185, 20, 80, 20}, "one shot", false);
constexpr Record kChasingArrows1 = ChasingArrowsRecord("ChasingArrows1", {133, 183, 34, 34});
constexpr Record kLooped1 = RadioButtonRecord("looped1", {35, 20, 80, 20}, "looped 1", true);
constexpr Record kThread = MakeThread();

// The stored form begins: Name "play", Index -2147483648, Left 115.
static_assert(kPlay[0] == 0x00 && kPlay[1] == 0x00 && kPlay[5] == 0x04 && kPlay[6] == 'p' &&
              kPlay[9] == 'y' && kPlay[11] == 0x01 && kPlay[12] == 0x80 && kPlay[15] == 0x00 &&
              kPlay[17] == 0x13 && kPlay[21] == 0x73);

}  // namespace

std::span<const std::uint8_t> Window1Record() {
    return kWindow1.Bytes();
}
std::span<const std::uint8_t> PlayRecord() {
    return kPlay.Bytes();
}
std::span<const std::uint8_t> StopRecord() {
    return kStop.Bytes();
}
std::span<const std::uint8_t> Looped2Record() {
    return kLooped2.Bytes();
}
std::span<const std::uint8_t> OneshotRecord() {
    return kOneshot.Bytes();
}
std::span<const std::uint8_t> ChasingArrows1Record() {
    return kChasingArrows1.Bytes();
}
std::span<const std::uint8_t> Looped1Record() {
    return kLooped1.Bytes();
}
std::span<const std::uint8_t> ThreadRecord() {
    return kThread.Bytes();
}

}  // namespace lark::layout
