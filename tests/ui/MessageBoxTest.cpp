#include "runtime/MessageBox.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QScreen>
#include <QTest>
#include <QTimer>
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

// Taller than the screen at three fifths of its width but not at its whole width, with a word
// (an address) wider than three fifths of it that must not break.
QString LongText(const QRect& screen, QString& address) {
    const QFontMetrics metrics(QApplication::font());
    const QString words = QStringLiteral("many words ");
    const int repeats = 3 * screen.width() / 4 * screen.height() / metrics.lineSpacing() /
                        metrics.horizontalAdvance(words);
    for (address = QStringLiteral("larkspool.example.org/");
         metrics.horizontalAdvance(address) < screen.width() * 2 / 3;) {
        address += QStringLiteral("qvweb/");
    }
    return QStringLiteral("short line\n") + words.repeated(repeats) + "\n" + address + "\nend";
}

// The real boxes on Qt's event loop, with the real driver.
TEST(QtMsgBoxTest, OnTheRealLoopAWindowModalBoxShowsItsWholeTextAndResumesTheJob) {
    SteadyClock clock;
    QtSchedulerDriver driver{clock};
    Scheduler scheduler{clock, driver};
    QtMessageBoxes boxes;
    QWidget window;
    boxes.SetParent(&window);
    window.show();
    QString address;
    const QString text = LongText(window.screen()->availableGeometry(), address);

    bool done = false;
    scheduler.Start("msg", Invoke([&]() -> Task<> {
                        co_await MsgBoxAwaiter(scheduler, boxes, text.toStdString());
                        done = true;
                    }));
    ASSERT_TRUE(SpinUntil([&] { return window.findChild<QMessageBox*>() != nullptr; }));
    auto* box = window.findChild<QMessageBox*>();
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &window);

    // Shown whole: the label as tall as its wrapped text needs, no word broken, on the screen.
    ASSERT_TRUE(SpinUntil([&] { return box->isVisible(); }));
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    EXPECT_GE(label->height(), label->heightForWidth(label->width()));
    EXPECT_GE(label->width(), label->fontMetrics().horizontalAdvance(address));
    EXPECT_TRUE(box->screen()->availableGeometry().contains(box->frameGeometry()));

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(SpinUntil([&] { return done; }));
}

// Short lines, as in the donation message, each whole on a line of its own; an error shows its
// icon and says so to a screen reader. Return closes the box; a box closed by the program before
// its dismissal got through reports nothing.
TEST(QtMsgBoxTest, ShortLinesStayWholeAndABoxClosedByTheProgramReportsNothing) {
    QtMessageBoxes boxes;
    QWidget window;
    boxes.SetParent(&window);
    window.show();
    const QString text = QStringLiteral(
        "Thanks for listening to this piece.\nIf you enjoyed it, please visit\n"
        "larkspool.example.org/qvweb/qvpayment.html\nThank you.");
    int dismissed = 0;
    auto open = boxes.Open(text.toStdString(), MessageBoxes::Kind::Error, [&] { ++dismissed; });
    auto* box = window.findChild<QMessageBox*>();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(SpinUntil([&] { return box->isVisible(); }));
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->accessibleName(), "error message");
    const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    ASSERT_NE(label, nullptr);
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(line), label->width())
            << line.toStdString();
    }

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(box->isVisible());
    open.reset();
    bool later = false;  // posted after the dismissal's report, so run after it
    QTimer::singleShot(0, [&later] { later = true; });
    ASSERT_TRUE(SpinUntil([&] { return later; }));
    EXPECT_EQ(dismissed, 0);
}

}  // namespace
}  // namespace lark
