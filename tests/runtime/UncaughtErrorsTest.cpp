#include "runtime/UncaughtErrors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "runtime/NilObjectException.h"
#include "support/RecordingMessageBoxes.h"

namespace lark {
namespace {

using testing::RecordingMessageBoxes;

TEST(UncaughtErrorsTest, ReportsOneLineAndOneErrorBoxNamingWhatWasMissing) {
    RecordingMessageBoxes boxes(false);
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    errors.Report("Class21.Run", std::make_exception_ptr(NilObjectException("sound resource 177")));
    EXPECT_EQ(log.str(), "larkspool8: Class21.Run failed: missing sound resource 177\n");
    ASSERT_EQ(boxes.shown().size(), 1u);
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.shown()[0].text, "Class21.Run failed: missing sound resource 177.");
    EXPECT_EQ(boxes.OpenCount(), 1u);
    boxes.DismissOldest();
    EXPECT_EQ(boxes.OpenCount(), 0u);
}

// A dismissal inside Open once erased the box's entry before Open returned: a use-after-free.
TEST(UncaughtErrorsTest, ABoxDismissedWhileItOpensIsForgottenCleanly) {
    RecordingMessageBoxes boxes(true);  // dismisses inside Open
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    errors.Report("play.Action", std::make_exception_ptr(42));
    errors.Report("stop.Action", std::make_exception_ptr(std::logic_error("two")));
    EXPECT_EQ(boxes.texts(), (std::vector<std::string>{"play.Action failed: unknown error.",
                                                       "stop.Action failed: two."}));
    EXPECT_EQ(boxes.OpenCount(), 0u);
}

}  // namespace
}  // namespace lark
