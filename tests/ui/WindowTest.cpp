#include "ui/Window.h"

#include <gtest/gtest.h>

#include "runtime/Thread.h"
#include "support/VirtualLoop.h"
#include "ui/Application.h"
#include "ui/Controls.h"

namespace lark {
namespace {

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

TEST_F(WindowTest, ObjectsAreFoundByNameAndKindOnly) {
    PushButton& play = Place<PushButton>("play");
    EXPECT_EQ(&window.Find<RectControl>("play"), &play);
    EXPECT_THROW(Place<PushButton>("play"), std::logic_error) << "a name is taken once";
    Place<RadioButton>("looped1");
    EXPECT_THROW(window.Find<PushButton>("looped1"), NilObjectException);
    EXPECT_THROW(window.Find<Thread>("looped1"), NilObjectException);
    try {
        window.Find<PushButton>("nothing");
        ADD_FAILURE() << "no exception";
    } catch (const NilObjectException& e) {
        EXPECT_STREQ(e.what(), "missing control nothing");
    }
}

TEST_F(WindowTest, PushButtonActsAsANamedJobUnlessDisabledAndRadioButtonsAreExclusive) {
    PushButton& play = Place<PushButton>("play");
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

    RadioButton& a = Place<RadioButton>("a");
    RadioButton& b = Place<RadioButton>("b");
    a.SetValue(true);
    b.SetValue(true);
    EXPECT_FALSE(a.Value());
    EXPECT_TRUE(b.Value());
    b.SetValue(false);
    EXPECT_FALSE(b.Value());
}

}  // namespace
}  // namespace lark
