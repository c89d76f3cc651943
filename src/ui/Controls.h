#pragma once

#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <string>

#include "runtime/Scheduler.h"
#include "ui/LayoutRecord.h"
#include "ui/PlacedObject.h"

class QAbstractButton;
class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace lark {

class ChasingArrowsWidget;

// What a control needs of the window it is made for.
struct ControlContext {
    QWidget& parent;  // the content area; Qt parent ownership keeps the widget
    Scheduler& scheduler;
    QButtonGroup& radioGroup;  // one exclusive group per window
};

// Base of the visual controls: name and the indices a window keeps for them.
class Control : public PlacedObject, public LayoutTarget {
  public:
    const std::string& Name() const { return name_; }
    void SetName(std::string name);
    std::int32_t Index() const { return index_; }
    void SetIndex(std::int32_t index) { index_ = index; }
    std::int32_t TabPanelIndex() const { return tabPanelIndex_; }
    void SetTabPanelIndex(std::int32_t index) { tabPanelIndex_ = index; }

    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  protected:
    explicit Control(QWidget& widget) : widget_(&widget) {}
    QWidget& widget() const { return *widget_; }

  private:
    QPointer<QWidget> widget_;
    std::string name_;
    std::int32_t index_ = 0;
    std::int32_t tabPanelIndex_ = 0;
};

// A control with a rectangle on the window. Coordinates are pixels from the content origin.
class RectControl : public Control {
  public:
    bool Enabled() const;
    void SetEnabled(bool on);
    bool Visible() const { return visible_; }  // as set, whether or not the window is shown
    void SetVisible(bool on);
    int Left() const;
    int Top() const;
    int Width() const;
    int Height() const;
    void SetLeft(int left);
    void SetTop(int top);
    void SetWidth(int width);
    void SetHeight(int height);
    std::string HelpTag() const;
    void SetHelpTag(const std::string& text);
    bool AutoDeactivate() const { return autoDeactivate_; }
    void SetAutoDeactivate(bool on) { autoDeactivate_ = on; }
    const std::string& InitialParent() const { return initialParent_; }
    void SetInitialParent(std::string name) { initialParent_ = std::move(name); }

    QWidget& Widget() const { return widget(); }

    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  protected:
    using Control::Control;

  private:
    bool visible_ = true;
    bool autoDeactivate_ = true;
    std::string initialParent_;
};

// Font properties shared by the captioned controls. TextSize counts pixels, as on the
// platform the layout comes from; "System" and 0 mean the desktop's own font and size.
struct TextStyle {
    std::string font = "System";
    int size = 0;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

// A push button or radio button: a caption in a font of its own.
class CaptionedControl : public RectControl {
  public:
    std::string Caption() const;
    void SetCaption(const std::string& caption);
    const TextStyle& Style() const { return style_; }
    void SetTextFont(std::string font);
    void SetTextSize(int size);
    void SetBold(bool on);
    void SetItalic(bool on);
    void SetUnderline(bool on);

  protected:
    explicit CaptionedControl(QAbstractButton& button);
    QAbstractButton& button() const;
    // The font properties start at fontIndex in the class's property table, in the order
    // TextFont, TextSize, Bold, Italic, Underline. Returns whether index was one of them.
    bool SetStyleProperty(std::uint16_t fontIndex, std::uint16_t index, const PropertyValue& value);

  private:
    void ApplyStyle();

    TextStyle style_;
};

class PushButton : public CaptionedControl {
  public:
    explicit PushButton(const ControlContext& context);

    bool Default() const;
    void SetDefault(bool on);
    bool Cancel() const { return cancel_; }
    void SetCancel(bool on) { cancel_ = on; }

    // "Action": a click; the handler runs as the job "<name>.Action".
    void BindEvent(std::string_view event, EventHandler handler) override;
    // As a click would, for tests and keyboard activation alike.
    void Push();

    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;

  private:
    QPushButton& pushButton() const;

    Scheduler& scheduler_;
    EventHandler action_;
    bool cancel_ = false;
};

// One of the window's exclusive group: selecting one deselects the others.
class RadioButton : public CaptionedControl {
  public:
    explicit RadioButton(const ControlContext& context);

    bool Value() const;
    void SetValue(bool selected);

    PropertyTable Properties() const override;
    void SetProperty(std::uint16_t index, const PropertyValue& value) override;
};

// The busy indicator. It animates only while it is shown.
class ChasingArrows : public RectControl {
  public:
    explicit ChasingArrows(const ControlContext& context);
    bool IsAnimating() const;

    PropertyTable Properties() const override;

  private:
    ChasingArrowsWidget& arrows() const;
};

}  // namespace lark
