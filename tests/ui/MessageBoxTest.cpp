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

// Text of about the given width in the application's font: an address, one word, or words.
QString Address(int width) {
    QString address = QStringLiteral("larkspool.example.org/");
    while (QFontMetrics(QApplication::font()).horizontalAdvance(address) < width) {
        address += QStringLiteral("qvweb/");
    }
    return address;
}
QString Words(int width) {
    const QString word = QStringLiteral("word ");
    return word.repeated(width / QFontMetrics(QApplication::font()).horizontalAdvance(word));
}

// The real boxes on Qt's event loop, window-modal on a window that is shown.
class QtMsgBoxTest : public ::testing::Test {
  protected:
    QtMsgBoxTest() {
        boxes.SetParent(&window);
        window.show();
    }
    QRect Screen() const { return window.screen()->availableGeometry(); }
    // The box, once it shows, and the label that shows its text.
    QMessageBox* Shown() {
        SpinUntil([this] { return Box() && Box()->isVisible(); });
        return Box();
    }
    QMessageBox* Box() const { return window.findChild<QMessageBox*>(); }
    static QLabel& Label(const QMessageBox& box) {
        return *box.findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
    }

    QtMessageBoxes boxes;
    QWidget window;
};

// Taller than the screen at three fifths of its width, not at its whole width: the box widens
// until its wrapped text fits, on the screen, and no word breaks.
TEST_F(QtMsgBoxTest, OnTheRealLoopAScreenTallTextShowsWholeAndResumesTheJob) {
    SteadyClock clock;
    QtSchedulerDriver driver{clock};
    Scheduler scheduler{clock, driver};
    const QString address = Address(Screen().width() * 2 / 3);
    const QString text = "short line\n" +
                         Words(Screen().width() * 3 / 4 * Screen().height() /
                               QFontMetrics(QApplication::font()).lineSpacing()) +
                         "\n" + address + "\nend";
    bool done = false;
    scheduler.Start("msg", Invoke([&]() -> Task<> {
                        co_await MsgBoxAwaiter(scheduler, boxes, text.toStdString());
                        done = true;
                    }));
    QMessageBox* box = Shown();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), text);
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &window);
    const QLabel& label = Label(*box);
    EXPECT_GE(label.height(), label.heightForWidth(label.width()));
    EXPECT_GE(label.width(), label.fontMetrics().horizontalAdvance(address));
    EXPECT_TRUE(Screen().contains(box->frameGeometry()));

    QTest::keyClick(box, Qt::Key_Escape);
    EXPECT_TRUE(SpinUntil([&] { return done; }));
}

// Lines up to three fifths of the screen wide stay whole, each on a line of its own; an error
// shows its icon and says so to a screen reader. Return closes the box; a box closed by the
// program before its dismissal got through reports nothing.
TEST_F(QtMsgBoxTest, ShortLinesStayWholeAndABoxClosedByTheProgramReportsNothing) {
    const QString text = "Thanks for listening.\n" + Words(Screen().width() / 2 - 10) + "\nBye.";
    int dismissed = 0;
    auto open = boxes.Open(text.toStdString(), MessageBoxes::Kind::Error, [&] { ++dismissed; });
    QMessageBox* box = Shown();
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->icon(), QMessageBox::Critical);
    EXPECT_EQ(box->accessibleName(), "error message");
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        EXPECT_LE(Label(*box).fontMetrics().horizontalAdvance(line.trimmed()), Label(*box).width());
    }

    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(box->isVisible());
    open.reset();
    bool later = false;  // posted after the dismissal's report, so run after it
    QTimer::singleShot(0, [&later] { later = true; });
    ASSERT_TRUE(SpinUntil([&] { return later; }));
    EXPECT_EQ(dismissed, 0);
}

TEST_F(QtMsgBoxTest, AnAddressWiderThanThreeFifthsOfTheScreenStaysWhole) {
    const QString address = Address(Screen().width() * 2 / 3);
    auto open = boxes.Open(address.toStdString(), MessageBoxes::Kind::Information, [] {});
    QMessageBox* box = Shown();
    ASSERT_NE(box, nullptr);
    EXPECT_GE(Label(*box).width(), Label(*box).fontMetrics().horizontalAdvance(address));
}

}  // namespace
}  // namespace lark
