#include "ui/ChasingArrowsWidget.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QTimerEvent>
#include <QWindow>
#include <vector>

namespace lark {
namespace {

// The arrows in a window on the (offscreen) screen. Ticks are delivered by hand, as the event
// loop would: only to a running timer, and without waiting for real time to pass.
class ChasingArrowsWidgetTest : public ::testing::Test {
  protected:
    ChasingArrowsWidgetTest() {
        window.resize(60, 60);
        arrows->setGeometry(13, 13, 34, 34);
    }

    void Tick() {
        if (timer && timer->isActive()) {
            QTimerEvent tick(timer->timerId());
            QCoreApplication::sendEvent(timer, &tick);
        }
    }
    // What the screen shows of the window once pending repaints are done: what a person sees,
    // so a phase that moves without a repaint does not count.
    QImage Screen() {
        QCoreApplication::processEvents();
        return window.windowHandle()->screen()->grabWindow(window.winId()).toImage();
    }

    QWidget window;
    ChasingArrowsWidget* arrows = new ChasingArrowsWidget(&window);  // owned by window
    QTimer* timer = arrows->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
};

TEST_F(ChasingArrowsWidgetTest, ThePictureTurnsAtEveryTickWhileShownAndStandsStillWhileHidden) {
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), ChasingArrowsWidget::kStepMs) << "the speed a person sees";
    timer->setInterval(3'600'000);  // only the ticks delivered here, however slow the machine
    window.show();
    std::vector<QImage> frames{Screen()};
    for (int i = 0; i < ChasingArrowsWidget::kSteps; ++i) {
        Tick();
        frames.push_back(Screen());
        EXPECT_NE(frames[i + 1], frames[i]) << "tick " << i + 1 << " moved nothing";
    }
    EXPECT_EQ(frames.back(), frames.front()) << "a whole turn in kSteps ticks";
    Tick();
    const QImage beforeHiding = Screen();

    arrows->hide();
    for (int i = 0; i < 3; ++i) {
        Tick();
    }
    arrows->show();
    EXPECT_EQ(Screen(), beforeHiding) << "the arrows turned while hidden";
    Tick();
    EXPECT_NE(Screen(), beforeHiding) << "and turn again once shown";
}

}  // namespace
}  // namespace lark
