#include "ui/Window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "runtime/Thread.h"
#include "runtime/VirtualLoop.h"
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
    VirtualLoop loop;
    Application application{[] {}};
    Window window{loop.scheduler(), application};
};

TEST_F(WindowTest, ControlsAreFoundByNameAndKindOnlyAndAPushRunsANamedJobUnlessGreyed) {
    PushButton& play = Place<PushButton>("play");
    EXPECT_EQ(&window.Find<RectControl>("play"), &play);
    EXPECT_THROW(Place<PushButton>("play"), std::logic_error) << "a name is taken once";
    Place<RadioButton>("looped1");
    EXPECT_THROW(window.Find<PushButton>("looped1"), NilObjectException);
    EXPECT_THROW(window.Find<Thread>("looped1"), NilObjectException);
    EXPECT_THAT([&] { window.Find<PushButton>("nothing"); },
                ThrowsMessage<NilObjectException>(StrEq("missing control nothing")));

    play.SetTextSize(12);  // in pixels, as the layouts were drawn
    EXPECT_EQ(play.Widget().font().pixelSize(), 12);
    play.SetTop(140);
    play.SetLeft(115);  // and the top stays
    EXPECT_EQ(play.Widget().pos(), QPoint(115, 140));

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
}

}  // namespace
}  // namespace lark
