#include "platform/UncaughtErrors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "platform/NilObjectException.h"
#include "support/RecordingMessageBoxes.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

TEST(UncaughtErrorsTest, ReportsOneLineAndOneErrorBoxNamingWhatWasMissing) {
    testing::RecordingMessageBoxes boxes(false);
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    testing::VirtualLoop loop;
    loop.scheduler().SetUncaughtHandler(
        [&](const std::string& job, std::exception_ptr e) { errors.Report(job, e); });

    loop.scheduler().Start("Class21.Run", Invoke([&]() -> Task<> {
                               co_await loop.scheduler().Yield();
                               throw NilObjectException("sound resource 177");
                           }));
    bool otherRan = false;
    loop.scheduler().Start("other", Invoke([&]() -> Task<> {
                               co_await loop.scheduler().Yield();
                               co_await loop.scheduler().Yield();
                               otherRan = true;
                           }));
    loop.RunUntilIdle();

    EXPECT_EQ(log.str(), "larkspool8: Class21.Run failed: missing sound resource 177\n");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.shown()[0].text, "Class21.Run failed: missing sound resource 177.");
    EXPECT_TRUE(otherRan);
    EXPECT_EQ(boxes.OpenCount(), 1u);
    boxes.DismissOldest();
    EXPECT_EQ(boxes.OpenCount(), 0u);
}

TEST(UncaughtErrorsTest, ABoxDismissedWhileItOpensIsForgottenCleanly) {
    testing::RecordingMessageBoxes boxes(true);  // dismisses inside Open
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    errors.Report("play.Action", std::make_exception_ptr(std::runtime_error("one")));
    errors.Report("stop.Action", std::make_exception_ptr(std::runtime_error("two")));
    EXPECT_EQ(boxes.shown().size(), 2u);
    EXPECT_EQ(boxes.OpenCount(), 0u);
}

TEST(UncaughtErrorsTest, DescribesExceptionsThatAreNotStandard) {
    EXPECT_EQ(UncaughtErrors::Describe(std::make_exception_ptr(42)), "unknown error");
    EXPECT_EQ(UncaughtErrors::Describe(std::make_exception_ptr(std::logic_error("x"))), "x");
}

}  // namespace
}  // namespace lark
