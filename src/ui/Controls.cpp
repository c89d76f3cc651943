#include "ui/Controls.h"

#include <QButtonGroup>
#include <QKeyEvent>
#include <QPushButton>
#include <QRadioButton>
#include <stdexcept>

#include "ui/ChasingArrowsWidget.h"
#include "ui/PropertyTables.h"

namespace lark {
namespace {

QString ToQt(const std::string& s) {
    return QString::fromStdString(s);
}

void ApplyTextStyle(QWidget& widget, const TextStyle& style) {
    QFont font = widget.parentWidget() ? widget.parentWidget()->font() : QFont();
    if (style.font != "System" && !style.font.empty()) {
        font.setFamily(ToQt(style.font));
    }
    if (style.size > 0) {
        font.setPixelSize(style.size);
    }
    font.setBold(style.bold);
    font.setItalic(style.italic);
    font.setUnderline(style.underline);
    widget.setFont(font);
}

// Sets one of the shared font properties; false if the index is not one of them.
bool SetStyleProperty(TextStyle& style, std::uint16_t fontIndex, std::uint16_t index,
                      const PropertyValue& value) {
    const int offset = index - fontIndex;  // TextFont, TextSize, Bold, Italic, Underline
    switch (offset) {
        case 0:
            style.font = AsString(value);
            return true;
        case 1:
            style.size = AsInteger(value);
            return true;
        case 2:
            style.bold = AsBoolean(value);
            return true;
        case 3:
            style.italic = AsBoolean(value);
            return true;
        case 4:
            style.underline = AsBoolean(value);
            return true;
        default:
            return false;
    }
}

// Return and the keypad's Enter press a focused button as Space does: down on the press, a click
// on the release. Qt's own way, autoDefault, would make the focused button the default one and
// draw it so.
class KeyPushButton final : public QPushButton {
  public:
    using QPushButton::QPushButton;

  protected:
    void keyPressEvent(QKeyEvent* event) override {
        AsSpace(event, [this](QKeyEvent* e) { QPushButton::keyPressEvent(e); });
    }
    void keyReleaseEvent(QKeyEvent* event) override {
        AsSpace(event, [this](QKeyEvent* e) { QPushButton::keyReleaseEvent(e); });
    }

  private:
    template <class Handle>
    static void AsSpace(QKeyEvent* event, Handle handle) {
        if (event->key() != Qt::Key_Return && event->key() != Qt::Key_Enter) {
            return handle(event);
        }
        QKeyEvent space(event->type(), Qt::Key_Space, event->modifiers(), QStringLiteral(" "),
                        event->isAutoRepeat(), event->count());
        handle(&space);
        event->setAccepted(space.isAccepted());
    }
};

[[noreturn]] void CannotSet(PropertyTable table, std::uint16_t index) {
    const std::string name =
        index < table.size() ? std::string(table[index].name) : "index " + std::to_string(index);
    throw std::invalid_argument("property " + name + " cannot be set");
}

}  // namespace

void PlacedObject::BindEvent(std::string_view event, EventHandler) {
    throw std::invalid_argument("no event \"" + std::string(event) + "\" to bind");
}

// --- Control

void Control::SetName(std::string name) {
    name_ = std::move(name);
    if (widget_) {
        widget_->setObjectName(ToQt(name_));
    }
}

PropertyTable Control::Properties() const {
    return ControlProperties();
}

void Control::SetProperty(std::uint16_t index, const PropertyValue& value) {
    namespace c = prop::control;
    switch (index) {
        case c::Name:
            SetName(AsString(value));
            return;
        case c::Index:
            SetIndex(AsInteger(value));
            return;
        case c::TabPanelIndex:
            SetTabPanelIndex(AsInteger(value));
            return;
        default:
            CannotSet(Properties(), index);
    }
}

// --- RectControl

bool RectControl::Enabled() const {
    return widget().isEnabled();
}
void RectControl::SetEnabled(bool on) {
    widget().setEnabled(on);
}
void RectControl::SetVisible(bool on) {
    visible_ = on;
    widget().setVisible(on);
}
int RectControl::Left() const {
    return widget().x();
}
int RectControl::Top() const {
    return widget().y();
}
int RectControl::Width() const {
    return widget().width();
}
int RectControl::Height() const {
    return widget().height();
}
void RectControl::SetLeft(int left) {
    widget().move(left, Top());
}
void RectControl::SetTop(int top) {
    widget().move(Left(), top);
}
void RectControl::SetWidth(int width) {
    widget().resize(width, Height());
}
void RectControl::SetHeight(int height) {
    widget().resize(Width(), height);
}
std::string RectControl::HelpTag() const {
    return widget().toolTip().toStdString();
}
void RectControl::SetHelpTag(const std::string& text) {
    widget().setToolTip(ToQt(text));
}

PropertyTable RectControl::Properties() const {
    return RectControlProperties();
}

void RectControl::SetProperty(std::uint16_t index, const PropertyValue& value) {
    namespace c = prop::control;
    switch (index) {
        case c::HelpTag:
            SetHelpTag(AsString(value));
            return;
        case c::Visible:
            SetVisible(AsBoolean(value));
            return;
        case c::Left:
            SetLeft(AsInteger(value));
            return;
        case c::Top:
            SetTop(AsInteger(value));
            return;
        case c::Width:
            SetWidth(AsInteger(value));
            return;
        case c::Height:
            SetHeight(AsInteger(value));
            return;
        case c::Enabled:
            SetEnabled(AsBoolean(value));
            return;
        case c::AutoDeactivate:
            SetAutoDeactivate(AsBoolean(value));
            return;
        case c::LockLeft:
        case c::LockTop:
        case c::LockRight:
        case c::LockBottom:
            // Nothing moves or stretches: the window cannot be resized.
            static_cast<void>(AsBoolean(value));
            return;
        case c::InitialParent:
            SetInitialParent(AsString(value));
            return;
        default:
            Control::SetProperty(index, value);
    }
}

// --- CaptionedControl

CaptionedControl::CaptionedControl(QAbstractButton& button) : RectControl(button) {}

QAbstractButton& CaptionedControl::button() const {
    return static_cast<QAbstractButton&>(widget());
}

std::string CaptionedControl::Caption() const {
    return button().text().toStdString();
}
void CaptionedControl::SetCaption(const std::string& caption) {
    button().setText(ToQt(caption));
    button().setAccessibleName(ToQt(caption));
}
void CaptionedControl::SetTextFont(std::string font) {
    style_.font = std::move(font);
    ApplyStyle();
}
void CaptionedControl::SetTextSize(int size) {
    style_.size = size;
    ApplyStyle();
}
void CaptionedControl::SetBold(bool on) {
    style_.bold = on;
    ApplyStyle();
}
void CaptionedControl::SetItalic(bool on) {
    style_.italic = on;
    ApplyStyle();
}
void CaptionedControl::SetUnderline(bool on) {
    style_.underline = on;
    ApplyStyle();
}
void CaptionedControl::ApplyStyle() {
    ApplyTextStyle(button(), style_);
}

bool CaptionedControl::SetStyleProperty(std::uint16_t fontIndex, std::uint16_t index,
                                        const PropertyValue& value) {
    if (!lark::SetStyleProperty(style_, fontIndex, index, value)) {
        return false;
    }
    ApplyStyle();
    return true;
}

// --- PushButton

PushButton::PushButton(const ControlContext& context)
    : CaptionedControl(*new KeyPushButton(&context.parent)), scheduler_(context.scheduler) {
    pushButton().setAutoDefault(false);  // else focus alone would make it the default button
    QObject::connect(&pushButton(), &QPushButton::clicked, &pushButton(), [this] { Push(); });
}

QPushButton& PushButton::pushButton() const {
    return static_cast<QPushButton&>(widget());
}

bool PushButton::Default() const {
    return pushButton().isDefault();
}
void PushButton::SetDefault(bool on) {
    pushButton().setDefault(on);
}

void PushButton::BindEvent(std::string_view event, EventHandler handler) {
    if (event != "Action") {
        return RectControl::BindEvent(event, std::move(handler));  // throws: no such event
    }
    action_ = std::move(handler);
}

void PushButton::Push() {
    if (action_ && Enabled()) {
        scheduler_.Spawn(Name() + ".Action", action_());
    }
}

PropertyTable PushButton::Properties() const {
    return PushButtonProperties();
}

void PushButton::SetProperty(std::uint16_t index, const PropertyValue& value) {
    namespace p = prop::pushbutton;
    switch (index) {
        case p::Caption:
            SetCaption(AsString(value));
            return;
        case p::Default:
            SetDefault(AsBoolean(value));
            return;
        case p::Cancel:
            SetCancel(AsBoolean(value));
            return;
        default:
            if (!SetStyleProperty(p::TextFont, index, value)) {
                RectControl::SetProperty(index, value);
            }
    }
}

// --- RadioButton

RadioButton::RadioButton(const ControlContext& context)
    : CaptionedControl(*new QRadioButton(&context.parent)) {
    context.radioGroup.addButton(&button());
}

bool RadioButton::Value() const {
    return button().isChecked();
}
void RadioButton::SetValue(bool selected) {
    // An exclusive group will not let its selected button be cleared directly.
    QButtonGroup* group = button().group();
    const bool exclusive = group && group->exclusive();
    if (!selected && exclusive) {
        group->setExclusive(false);
    }
    button().setChecked(selected);
    if (!selected && exclusive) {
        group->setExclusive(true);
    }
}

PropertyTable RadioButton::Properties() const {
    return RadioButtonProperties();
}

void RadioButton::SetProperty(std::uint16_t index, const PropertyValue& value) {
    namespace r = prop::radiobutton;
    switch (index) {
        case r::Caption:
            SetCaption(AsString(value));
            return;
        case r::Value:
            SetValue(AsBoolean(value));
            return;
        default:
            if (!SetStyleProperty(r::TextFont, index, value)) {
                RectControl::SetProperty(index, value);
            }
    }
}

// --- ChasingArrows

ChasingArrows::ChasingArrows(const ControlContext& context)
    : RectControl(*new ChasingArrowsWidget(&context.parent)) {
    widget().setAccessibleName(QStringLiteral("performance playing"));
}

ChasingArrowsWidget& ChasingArrows::arrows() const {
    return static_cast<ChasingArrowsWidget&>(widget());
}

bool ChasingArrows::IsAnimating() const {
    return arrows().IsAnimating();
}

PropertyTable ChasingArrows::Properties() const {
    return ChasingArrowsProperties();
}

}  // namespace lark
