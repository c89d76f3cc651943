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

// The arrows in a window on the (offscreen) screen.
TEST(ChasingArrowsWidgetTest, ThePictureTurnsAtEveryTickWhileShownAndStandsStillWhileHidden) {
    QWidget window;
    window.resize(60, 60);
    auto* arrows = new ChasingArrowsWidget(&window);  // owned by window
    arrows->setGeometry(13, 13, 34, 34);
    QTimer* timer = arrows->findChild<QTimer*>(QString(), Qt::FindDirectChildrenOnly);
    ASSERT_NE(timer, nullptr);
    // Ticks are delivered by hand, as the event loop would: only to a running timer, and
    // without waiting for real time to pass.
    const auto tick = [timer] {
        if (timer->isActive()) {
            QTimerEvent event(timer->timerId());
            QCoreApplication::sendEvent(timer, &event);
        }
    };
    // What the screen shows of the window once pending repaints are done: what a person sees,
    // so a phase that moves without a repaint does not count.
    const auto screen = [&window] {
        QCoreApplication::processEvents();
        return window.windowHandle()->screen()->grabWindow(window.winId()).toImage();
    };

    timer->setInterval(3'600'000);  // only the ticks delivered here, however slow the machine
    window.show();
    std::vector<QImage> frames{screen()};
    for (int i = 0; i < ChasingArrowsWidget::kSteps; ++i) {
        tick();
        frames.push_back(screen());
        EXPECT_NE(frames[i + 1], frames[i]) << "tick " << i + 1 << " moved nothing";
    }
    EXPECT_EQ(frames.back(), frames.front()) << "a whole turn in kSteps ticks";
    tick();
    const QImage beforeHiding = screen();
    arrows->hide();
    tick();
    tick();
    arrows->show();
    EXPECT_EQ(screen(), beforeHiding) << "the arrows turned while hidden";
    tick();
    EXPECT_NE(screen(), beforeHiding) << "and turn again once shown";
}

}  // namespace
}  // namespace lark
