#include "ui/Window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "support/VirtualLoop.h"
#include "ui/Application.h"
#include "ui/Controls.h"
#include "ui/PlacedThread.h"

namespace lark {
namespace {

using Calls = std::vector<std::string>;

class TestWindow final : public Window {
  public:
    using Window::Window;
    void Build() { FinishConstruction(); }
};

class PlacedTestThread final : public Thread, public PlacedThread {
  public:
    explicit PlacedTestThread(Scheduler& scheduler)
        : Thread(scheduler, "worker"), PlacedThread(static_cast<Thread&>(*this)) {}
};

MenuItem& AddItem(MenuItem& parent, std::string name, std::string text, std::string keys = "",
                  bool quit = false) {
    parent.Append(quit ? std::make_unique<QuitMenuItem>() : std::make_unique<MenuItem>());
    MenuItem& item = parent.Item(parent.Count() - 1);
    item.SetName(std::move(name));
    item.SetText(std::move(text));
    item.SetKeyboardShortcut(std::move(keys));
    item.SetAutoEnable(true);
    return item;
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() {
        MenuItem& file = AddItem(menuBar, "FileMenu", "File");
        AddItem(file, "about", "About");
        AddItem(file, "FileQuit", "Quit", "Cmd+Q", true);
        AddItem(AddItem(menuBar, "EditMenu", ""), "sep", "-");
        window.SetMenuBar(&menuBar);
    }

    template <class T>
    T& Place(const std::string& name) {
        window.Add(name, std::make_unique<T>(window.ForControls()));
        return window.Find<T>(name);
    }
    // A handler that logs its call and answers as told.
    MenuHandler Handler(std::string who, bool handled) {
        return [this, who, handled]() -> Task<bool> {
            calls.push_back(who);
            co_return handled;
        };
    }

    testing::VirtualLoop loop;
    int quits = 0;
    Application application{[this] { ++quits; }};
    MenuBar menuBar;
    TestWindow window{loop.scheduler(), application};
    Calls calls;
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

    window.Add("worker", std::make_unique<PlacedTestThread>(loop.scheduler()));
    int runs = 0;
    window.Find<PlacedObject>("worker").BindEvent("Run", [&runs]() -> Task<> {
        ++runs;
        co_return;
    });
    window.Find<Thread>("worker").Run();
    loop.RunUntilIdle();
    EXPECT_EQ(runs, 1);
    EXPECT_THROW(window.Find<PlacedObject>("worker").BindEvent("Action", {}),
                 std::invalid_argument);
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

TEST_F(WindowTest, ControlAndWindowPropertiesReachTheirWidgets) {
    PushButton& play = Place<PushButton>("play");
    play.SetLeft(115);
    play.SetTop(140);
    play.SetWidth(70);
    play.SetHeight(20);
    play.SetEnabled(false);
    EXPECT_EQ(play.Widget().geometry(), QRect(115, 140, 70, 20));
    EXPECT_EQ(play.Widget().parentWidget(), &window.Content());
    EXPECT_FALSE(play.Widget().isEnabled());

    ChasingArrows& busy = Place<ChasingArrows>("busy");
    busy.SetVisible(false);
    window.SetResizeable(false);
    window.SetCloseButton(false);
    window.SetMinimizeButton(false);
    window.SetMaximizeButton(false);
    window.Build();
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.Content().size(), QSize(300, 300));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    for (Qt::WindowType button :
         {Qt::WindowCloseButtonHint, Qt::WindowMinimizeButtonHint, Qt::WindowMaximizeButtonHint}) {
        EXPECT_FALSE(flags.testFlag(button)) << button;
    }
    // The arrows animate only while shown.
    EXPECT_FALSE(busy.IsAnimating());
    busy.SetVisible(true);
    EXPECT_TRUE(busy.IsAnimating());
    busy.SetVisible(false);
    EXPECT_FALSE(busy.IsAnimating());
    EXPECT_EQ(busy.Widget().accessibleName(), "performance playing");
}

TEST_F(WindowTest, MenusAreRenderedInModelOrderWithPortableShortcuts) {
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "File");
    EXPECT_EQ(menus[1]->text(), "Edit") << "an empty title would leave the menu unreachable";
    const QList<QAction*> file = window.MenuOf("FileMenu")->actions();
    ASSERT_EQ(file.size(), 2);
    EXPECT_EQ(file[0]->objectName(), "about");
    EXPECT_EQ(file[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(file[1]->menuRole(), QAction::QuitRole);
    EXPECT_TRUE(window.ActionOf("sep")->isSeparator());
}

TEST_F(WindowTest, ACommandGoesToTheWindowThenTheApplicationAndQuitsIfNobodyTakesIt) {
    application.AddMenuHandler("about", Handler("application", false));
    window.ChooseMenuItem("about");
    EXPECT_EQ(calls, (Calls{"application"}));
    window.AddMenuHandler("about", Handler("window", false));
    window.ActionOf("about")->trigger();  // the rendered item gives the same command
    EXPECT_EQ(calls, (Calls{"application", "window", "application"}));
    window.AddMenuHandler("about", Handler("window", true));
    window.ChooseMenuItem("about");
    EXPECT_EQ(calls, (Calls{"application", "window", "application", "window"}));

    window.ActionOf("FileQuit")->trigger();
    EXPECT_EQ(quits, 1);
    window.AddMenuHandler("FileQuit", Handler("window", true));
    window.ChooseMenuItem("FileQuit");
    EXPECT_EQ(quits, 1);
    window.Build();
    window.close();
    EXPECT_EQ(quits, 2) << "closing the window quits";
}

}  // namespace
}  // namespace lark
