#include "runtime/UncaughtErrors.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "runtime/NilObjectException.h"
#include "support/RecordingMessageBoxes.h"

namespace lark {
namespace {

// One line in the log and one error box each, naming what was missing. The boxes dismiss
// themselves inside Open: a dismissal there once erased the box's entry before Open returned.
TEST(UncaughtErrorsTest, ReportsOneLineAndOneErrorBoxEachEvenIfDismissedWhileItOpens) {
    testing::RecordingMessageBoxes boxes;
    std::ostringstream log;
    UncaughtErrors errors(boxes, log);
    errors.Report("Class21.Run", std::make_exception_ptr(NilObjectException("sound resource 177")));
    errors.Report("play.Action", std::make_exception_ptr(42));
    errors.Report("stop.Action", std::make_exception_ptr(std::logic_error("two")));
    EXPECT_EQ(log.str(),
              "larkspool8: Class21.Run failed: missing sound resource 177\n"
              "larkspool8: play.Action failed: unknown error\n"
              "larkspool8: stop.Action failed: two\n");
    EXPECT_EQ(boxes.texts(),
              (std::vector<std::string>{"Class21.Run failed: missing sound resource 177.",
                                        "play.Action failed: unknown error.",
                                        "stop.Action failed: two."}));
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Error);
    EXPECT_EQ(boxes.OpenCount(), 0u);
}

}  // namespace
}  // namespace lark
