#include "ui/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Thread.h"
#include "support/VirtualLoop.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace lark {
namespace {

using ::testing::StrEq;
using ::testing::ThrowsMessage;

class WindowTest : public ::testing::Test {
  protected:
    template <class T>
    T& Place(const std::string& name) {
        window.Add(name, std::make_unique<T>(window.ForControls()));
        return window.Find<T>(name);
    }
    testing::VirtualLoop loop;
    Application application{[] {}};
    Window window{loop.scheduler(), application};
};

TEST_F(WindowTest, ControlsAreFoundByNameAndKindAndButtonsActAsAUserExpects) {
    PushButton& play = Place<PushButton>("play");
    EXPECT_EQ(&window.Find<RectControl>("play"), &play);
    EXPECT_THROW(Place<PushButton>("play"), std::logic_error) << "a name is taken once";
    RadioButton& a = Place<RadioButton>("a");
    RadioButton& b = Place<RadioButton>("b");
    EXPECT_THROW(window.Find<PushButton>("a"), NilObjectException);
    EXPECT_THROW(window.Find<Thread>("a"), NilObjectException);
    EXPECT_THAT([&] { window.Find<PushButton>("nothing"); },
                ThrowsMessage<NilObjectException>(StrEq("missing control nothing")));

    // A push runs the action at once, as a job named after it; greyed, nothing.
    play.SetName("play");
    std::string job;
    loop.scheduler().SetUncaughtHandler(
        [&job](const std::string& name, std::exception_ptr) { job = name; });
    int actions = 0;
    play.BindEvent("Action", [&actions]() -> Task<> {
        ++actions;
        throw std::runtime_error("boom");
        co_return;
    });
    play.Push();
    EXPECT_EQ(job, "play.Action");
    play.SetEnabled(false);
    play.Push();
    EXPECT_EQ(actions, 1);

    a.SetValue(true);
    b.SetValue(true);
    EXPECT_FALSE(a.Value());
    EXPECT_TRUE(b.Value());
    b.SetValue(false);
    EXPECT_FALSE(b.Value());
}

}  // namespace
}  // namespace lark
