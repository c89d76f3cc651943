#include "window/Window1.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QStyle>
#include <QTest>

#include "app/MenuBar1.h"
#include "sounds/SoundBank.h"
#include "support/FakeSounds.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

const char* const kControls[] = {"play", "stop", "looped2", "oneshot", "ChasingArrows1", "looped1"};

class Window1Test : public ::testing::Test, protected testing::TestRuntime {
  protected:
    testing::FakeStore store{{}};
    SoundBank sounds{&store};
    Application application{[] {}};
    Window1& w = Window1::Instance(application, runtime, sounds, MenuBar1::Instance());

    QRect Rect(const char* name) const { return w.Find<RectControl>(name).Widget().geometry(); }
    // Where the middle of a control stands, in half pixels, so that a 1-pixel shift shows.
    QPoint Middle2(const char* name) const {
        const QRect r = Rect(name);
        return {2 * r.left() + r.width(), 2 * r.top() + r.height()};
    }
};

TEST_F(Window1Test, BuiltOnceAsAFixedWindowWithEveryObjectFoundByNameAndKind) {
    EXPECT_EQ(&Window1::Instance(application, runtime, sounds, MenuBar1::Instance()), &w);
    EXPECT_EQ(w.windowTitle(), "Larkspool 8");
    EXPECT_EQ(w.Content().size(), QSize(300, 300));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizeable";
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint));
    for (const char* name : {"play", "stop"}) {
        EXPECT_NO_THROW(w.Find<PushButton>(name)) << name;
    }
    for (const char* name : {"looped2", "oneshot", "looped1"}) {
        EXPECT_NO_THROW(w.Find<RadioButton>(name)) << name;
    }
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").Widget().isVisible());
    for (const char* name : {"Class11", "Class21", "Class31"}) {
        EXPECT_EQ(w.Find<Thread>(name).Priority, 5) << name;
        EXPECT_FALSE(w.Find<Thread>(name).IsRunning()) << name;
        EXPECT_THROW(w.Find<RectControl>(name), NilObjectException) << "no place on screen";
    }
}

// As a person sees the window at start-up: looped 1 chosen, every caption whole in its control
// and read out under its caption, nothing over anything else, and the controls symmetric about
// the middle, the mode pair mirrored.
TEST_F(Window1Test, TheControlsStandWholeApartAndSymmetric) {
    EXPECT_TRUE(w.Find<RadioButton>("looped1").Value());
    EXPECT_FALSE(w.Find<RadioButton>("oneshot").Value());
    EXPECT_FALSE(w.Find<RadioButton>("looped2").Value());
    for (const char* name : kControls) {
        SCOPED_TRACE(name);
        const QWidget& widget = w.Find<RectControl>(name).Widget();
        EXPECT_EQ(widget.parentWidget(), &w.Content());
        EXPECT_TRUE(w.Content().rect().contains(widget.geometry()));
        for (const char* other : kControls) {
            EXPECT_TRUE(name == other || !Rect(name).intersects(Rect(other))) << other;
        }
        if (const auto* button = dynamic_cast<const QAbstractButton*>(&widget)) {
            EXPECT_EQ(button->accessibleName(), button->text());
            const int margins = 2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin);
            const int needed =
                dynamic_cast<const QPushButton*>(button)
                    ? button->fontMetrics().horizontalAdvance(button->text()) + margins
                    : button->sizeHint().width();
            EXPECT_LE(needed, widget.width()) << button->text().toStdString();
        }
    }
    for (const char* name : {"play", "stop", "looped2", "ChasingArrows1"}) {
        EXPECT_EQ(Middle2(name).x(), 300) << name;
    }
    EXPECT_EQ(Middle2("looped1").x() + Middle2("oneshot").x(), 600);
    EXPECT_EQ(Middle2("looped1").y(), Middle2("oneshot").y());
}

// Return, the keypad's Enter and Space press the focused push button; neither push button is
// ever the default one, whichever has the focus.
class Window1KeyTest : public Window1Test, public ::testing::WithParamInterface<Qt::Key> {
  protected:
    void PressFocused(const char* name) {
        QWidget& focused = w.Find<PushButton>(name).Widget();
        focused.setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), &focused);
        for (const char* button : {"play", "stop"}) {
            const PushButton& control = w.Find<PushButton>(button);
            const auto& widget = static_cast<const QPushButton&>(control.Widget());
            EXPECT_FALSE(control.Default()) << button << ", with " << name << " focused";
            EXPECT_FALSE(control.Cancel()) << button;
            EXPECT_FALSE(widget.isDefault()) << button << ", with " << name << " focused";
            EXPECT_FALSE(widget.autoDefault()) << button;
        }
        const Qt::Key key = GetParam();
        QTest::keyClick(&focused, key, key == Qt::Key_Enter ? Qt::KeypadModifier : Qt::NoModifier);
        loop.RunUntilIdle();
    }
};

TEST_P(Window1KeyTest, PressesTheFocusedButtonWhichIsNeverTheDefault) {
    QApplication::setActiveWindow(&w);
    PressFocused("play");
    EXPECT_TRUE(w.Find<Thread>("Class31").IsRunning());
    PressFocused("stop");
    EXPECT_FALSE(w.Find<Thread>("Class31").IsRunning());
    EXPECT_EQ(boxes.texts().size(), 1u) << "stop's message";
}

INSTANTIATE_TEST_SUITE_P(Keys, Window1KeyTest,
                         ::testing::Values(Qt::Key_Return, Qt::Key_Enter, Qt::Key_Space),
                         [](const auto& info) -> std::string {
                             return info.param == Qt::Key_Return  ? "Return"
                                    : info.param == Qt::Key_Enter ? "KeypadEnter"
                                                                  : "Space";
                         });

}  // namespace
}  // namespace lark
