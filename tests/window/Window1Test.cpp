#include "window/Window1.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QStyle>

#include "app/MenuBar1.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

class Window1Test : public ::testing::Test, protected testing::TestRuntime {
  protected:
    SoundBank sounds{nullptr};
    Application application{[] {}};
    Window1& w = Window1::Instance(application, runtime, sounds, MenuBar1::Instance());

    QRect Rect(const char* name) const { return w.Find<RectControl>(name).Widget().geometry(); }
    // Twice a control's middle, so that a shift by one pixel shows.
    QPoint Middle2(const char* name) const {
        const QRect r = Rect(name);
        return {2 * r.left() + r.width(), 2 * r.top() + r.height()};
    }
};

TEST_F(Window1Test, BuiltOnceAsAFixedWindowWithItsThreadsOffTheScreen) {
    EXPECT_EQ(&Window1::Instance(application, runtime, sounds, MenuBar1::Instance()), &w);
    EXPECT_EQ(w.windowTitle(), "Larkspool 8");
    EXPECT_EQ(w.Content().size(), QSize(300, 300));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizeable";
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint));
    for (const char* name : {"Class11", "Class21", "Class31"}) {
        EXPECT_FALSE(w.Find<Thread>(name).IsRunning()) << name;
        EXPECT_THROW(w.Find<RectControl>(name), NilObjectException) << name;
    }
}

// As a person sees the window at start-up: looped 1 chosen, the busy arrows hidden, every
// caption whole in its control and read out as shown, nothing over anything else, and the
// controls symmetric about the middle, the two upper modes a mirrored pair.
TEST_F(Window1Test, TheControlsStandWholeApartAndSymmetric) {
    EXPECT_TRUE(w.Find<RadioButton>("looped1").Value());
    EXPECT_FALSE(w.Find<RadioButton>("oneshot").Value() || w.Find<RadioButton>("looped2").Value());
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").Widget().isVisible());
    const char* const controls[] = {"play",    "stop",           "looped2",
                                    "oneshot", "ChasingArrows1", "looped1"};
    for (const char* name : controls) {
        SCOPED_TRACE(name);
        const QWidget& widget = w.Find<RectControl>(name).Widget();
        EXPECT_EQ(widget.parentWidget(), &w.Content());
        EXPECT_TRUE(w.Content().rect().contains(widget.geometry()));
        for (const char* other : controls) {
            EXPECT_TRUE(name == other || !Rect(name).intersects(Rect(other))) << other;
        }
        if (const auto* button = dynamic_cast<const QAbstractButton*>(&widget)) {
            EXPECT_EQ(button->accessibleName(), button->text());
            // A push button's text needs its margins; a radio button's its indicator too.
            const int needed = button->inherits("QPushButton")
                                   ? button->fontMetrics().horizontalAdvance(button->text()) +
                                         2 * button->style()->pixelMetric(QStyle::PM_ButtonMargin)
                                   : button->sizeHint().width();
            EXPECT_LE(needed, widget.width());
            EXPECT_LE(button->fontMetrics().height(), widget.height());
        }
    }
    for (const char* name : {"play", "stop", "looped2", "ChasingArrows1"}) {
        EXPECT_EQ(Middle2(name).x(), 300) << name;
    }
    EXPECT_EQ(Middle2("looped1").x() + Middle2("oneshot").x(), 600);
    EXPECT_EQ(Middle2("looped1").y(), Middle2("oneshot").y());
}

}  // namespace
}  // namespace lark
