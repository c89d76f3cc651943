#include "platform/MessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QWidget>

#include "platform/QtMessageBoxes.h"
#include "platform/QtSchedulerDriver.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

using testing::RecordingMessageBoxes;
using testing::VirtualLoop;

class MsgBoxTest : public ::testing::Test {
  protected:
    VirtualLoop loop;
    RecordingMessageBoxes boxes{false};
    std::vector<std::string> trace;

    Task<> ShowThen(std::string text, std::string after) {
        co_await MsgBoxAwaiter(loop.scheduler(), boxes, text);
        trace.push_back(after);
    }
};

TEST_F(MsgBoxTest, TheJobWaitsUntilTheBoxIsDismissedWhileOthersGoOn) {
    loop.scheduler().Start("msg", ShowThen("hello", "dismissed"));
    int ticks = 0;
    loop.scheduler().Start("ticker", Invoke([&]() -> Task<> {
                               for (int i = 0; i < 5; ++i) {
                                   ++ticks;
                                   co_await loop.scheduler().Yield(loop.Now() + 100'000);
                               }
                           }));
    loop.RunToCompletion();
    EXPECT_EQ(ticks, 5) << "another job keeps running while the box is up";
    EXPECT_TRUE(trace.empty());
    ASSERT_EQ(boxes.OpenCount(), 1u);
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"hello"}));

    boxes.DismissOldest();
    EXPECT_TRUE(trace.empty()) << "resumes on a later turn, not inside the dismissal";
    loop.RunUntilIdle();
    EXPECT_EQ(trace, (std::vector<std::string>{"dismissed"}));
}

TEST_F(MsgBoxTest, BoxesOfTwoJobsCanBeDismissedInAnyOrder) {
    loop.scheduler().Start("first", ShowThen("one", "first done"));
    loop.scheduler().Start("second", ShowThen("two", "second done"));
    loop.RunUntilIdle();
    ASSERT_EQ(boxes.OpenCount(), 2u);
    boxes.DismissOldest();  // the first one shown, not the last
    loop.RunUntilIdle();
    EXPECT_EQ(trace, (std::vector<std::string>{"first done"}));
}

TEST_F(MsgBoxTest, KillingTheJobClosesItsBox) {
    const auto id = loop.scheduler().Start("msg", ShowThen("bye", "never"));
    loop.RunUntilIdle();
    ASSERT_EQ(boxes.OpenCount(), 1u);
    loop.scheduler().Kill(id);
    EXPECT_EQ(boxes.OpenCount(), 0u);
    EXPECT_FALSE(boxes.DismissOldest());
    loop.RunUntilIdle();
    EXPECT_TRUE(trace.empty());
}

// The real boxes on Qt's event loop, with the real driver.
class QtMsgBoxTest : public ::testing::Test {
  protected:
    SteadyClock clock;
    QtSchedulerDriver driver{clock};
    Scheduler scheduler{clock, driver};
    QtMessageBoxes boxes;
    QWidget window;

    void SetUp() override {
        driver.SetScheduler(&scheduler);
        boxes.SetParent(&window);
        window.show();
    }

    static QMessageBox* OpenBox() {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) {
                return box;
            }
        }
        return nullptr;
    }

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
};

TEST_F(QtMsgBoxTest, AWindowModalBoxResumesTheJobWhenAccepted) {
    bool done = false;
    scheduler.Start("msg", Invoke([&]() -> Task<> {
                        co_await MsgBoxAwaiter(scheduler, boxes, "line 1\nline 2");
                        done = true;
                    }));
    ASSERT_TRUE(SpinUntil([] { return OpenBox() != nullptr; }));
    QMessageBox* box = OpenBox();
    EXPECT_EQ(box->text(), "line 1\nline 2");
    EXPECT_EQ(box->windowModality(), Qt::WindowModal);
    EXPECT_EQ(box->parentWidget(), &window);
    box->button(QMessageBox::Ok)->click();
    EXPECT_TRUE(SpinUntil([&] { return done; }));
}

TEST_F(QtMsgBoxTest, ATimedWaitOnTheRealLoopNeverEndsEarly) {
    double woke = 0;
    const double deadline = clock.Microseconds() + 3000;
    scheduler.Start("wait", Invoke([&]() -> Task<> {
                        while (clock.Microseconds() < deadline) {
                            co_await scheduler.Yield(deadline);
                        }
                        woke = clock.Microseconds();
                    }));
    ASSERT_TRUE(SpinUntil([&] { return woke != 0; }));
    EXPECT_GE(woke, deadline);
}

}  // namespace
}  // namespace lark
