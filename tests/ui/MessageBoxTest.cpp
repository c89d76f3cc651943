#include "runtime/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QWidget>

#include "runtime/QtSchedulerDriver.h"
#include "ui/QtMessageBoxes.h"

namespace lark {
namespace {

// Processes events until the predicate holds, giving up after a generous real-time bound.
template <typename Pred>
bool SpinUntil(Pred pred) {
    QElapsedTimer timer;
    timer.start();
    while (!pred() && timer.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return pred();
}

// Longer than any box's line, with a word (an address) that must not break.
const QString kLongText = QStringLiteral("short line\n") + QString("many words ").repeated(60) +
                          QStringLiteral("\nlarkspool.example.org/qvweb/qvpayment.html\nend");

// The real boxes on Qt's event loop, with the real driver.
TEST(QtMsgBoxTest, OnTheRealLoopAWindowModalBoxShowsItsWholeTextAndResumesTheJob) {
    SteadyClock clock;
    QtSchedulerDriver driver{clock};
    Scheduler scheduler{clock, driver};
    QtMessageBoxes boxes;
    QWidget window;
    boxes.SetParent(&window);
    window.show();

    bool done = false;
    scheduler.Start("msg", Invoke([&]() -> Task<> {
                        co_await MsgBoxAwaiter(scheduler, boxes, kLongText.toStdString());
                        done = true;
                    }));
    ASSERT_TRUE(SpinUntil([&] { return window.findChild<QMessageBox*>() != nullptr; }));
    auto* box = window.findChild<QMessageBox*>();
    EXPECT_EQ(box->text(), kLongText);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &window);

    // Shown whole: the label as tall as its wrapped text needs, no word broken, on the screen.
    ASSERT_TRUE(SpinUntil([&] { return box->isVisible(); }));
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_GE(label->width(),
              label->fontMetrics().horizontalAdvance("larkspool.example.org/qvweb/qvpayment.html"));
    EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry()));

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(SpinUntil([&] { return done; }));
}

}  // namespace
}  // namespace lark
