#include "platform/Window.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include "platform/Application.h"
#include "platform/Controls.h"
#include "platform/PlacedThread.h"
#include "support/VirtualLoop.h"

namespace lark {
namespace {

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

std::unique_ptr<MenuItem> Item(std::string name, std::string text, std::string shortcut = "",
                               bool quit = false) {
    auto item = quit ? std::unique_ptr<MenuItem>(std::make_unique<QuitMenuItem>())
                     : std::make_unique<MenuItem>();
    item->SetName(std::move(name));
    item->SetText(std::move(text));
    item->SetKeyboardShortcut(std::move(shortcut));
    item->SetAutoEnable(true);
    return item;
}

class WindowTest : public ::testing::Test {
  protected:
    WindowTest() {
        auto file = Item("FileMenu", "File");
        file->Append(Item("about", "About"));
        file->Append(Item("FileQuit", "Quit", "Cmd+Q", true));
        auto edit = Item("EditMenu", "");
        edit->Append(Item("EditUndo", "Undo", "Cmd+Z"));
        edit->Append(Item("sep", "-"));
        menuBar.Append(std::move(file));
        menuBar.Append(std::move(edit));
        window.SetMenuBar(&menuBar);
    }

    // A handler that logs its call and answers as told.
    MenuHandler Handler(std::string who, bool result) {
        return [this, who, result]() -> Task<bool> {
            calls.push_back(who);
            co_return result;
        };
    }

    testing::VirtualLoop loop;
    int quits = 0;
    Application application{[this] { ++quits; }};
    MenuBar menuBar;
    TestWindow window{loop.scheduler(), application};
    std::vector<std::string> calls;
};

TEST_F(WindowTest, FindReturnsTheObjectAddedUnderThatName) {
    window.Add("play", std::make_unique<PushButton>(window.ForControls()));
    PushButton& play = window.Find<PushButton>("play");
    play.SetCaption("start");
    EXPECT_EQ(window.Find<PushButton>("play").Caption(), "start");
    EXPECT_EQ(&window.Find<RectControl>("play"), &play);
}

TEST_F(WindowTest, FindOfAMissingNameThrowsNilObject) {
    try {
        window.Find<PushButton>("nothing");
        FAIL() << "no exception";
    } catch (const NilObjectException& e) {
        EXPECT_STREQ(e.what(), "missing control nothing");
    }
}

TEST_F(WindowTest, FindOfTheWrongKindThrowsNilObject) {
    window.Add("looped1", std::make_unique<RadioButton>(window.ForControls()));
    EXPECT_THROW(window.Find<PushButton>("looped1"), NilObjectException);
    EXPECT_THROW(window.Find<Thread>("looped1"), NilObjectException);
}

TEST_F(WindowTest, AddingANameTwiceIsRefused) {
    window.Add("play", std::make_unique<PushButton>(window.ForControls()));
    EXPECT_THROW(window.Add("play", std::make_unique<PushButton>(window.ForControls())),
                 std::logic_error);
}

TEST_F(WindowTest, ThreadIsFoundByNameAndItsRunEventBinds) {
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

TEST_F(WindowTest, PushButtonActionRunsAsANamedJob) {
    window.Add("play", std::make_unique<PushButton>(window.ForControls()));
    PushButton& play = window.Find<PushButton>("play");
    play.SetName("play");
    std::string job;
    loop.scheduler().SetUncaughtHandler(
        [&job](const std::string& name, std::exception_ptr) { job = name; });
    play.BindEvent("Action", []() -> Task<> {
        throw std::runtime_error("boom");
        co_return;
    });
    play.Push();
    EXPECT_EQ(job, "play.Action");
}

TEST_F(WindowTest, DisabledPushButtonRunsNothing) {
    window.Add("stop", std::make_unique<PushButton>(window.ForControls()));
    PushButton& stop = window.Find<PushButton>("stop");
    int actions = 0;
    stop.BindEvent("Action", [&actions]() -> Task<> {
        ++actions;
        co_return;
    });
    stop.SetEnabled(false);
    stop.Push();
    EXPECT_EQ(actions, 0);
}

TEST_F(WindowTest, RadioButtonsOfAWindowAreExclusive) {
    window.Add("a", std::make_unique<RadioButton>(window.ForControls()));
    window.Add("b", std::make_unique<RadioButton>(window.ForControls()));
    RadioButton& a = window.Find<RadioButton>("a");
    RadioButton& b = window.Find<RadioButton>("b");
    a.SetValue(true);
    b.SetValue(true);
    EXPECT_FALSE(a.Value());
    EXPECT_TRUE(b.Value());
    b.SetValue(false);
    EXPECT_FALSE(b.Value());
}

TEST_F(WindowTest, ControlGeometryAndStateGoToTheWidget) {
    window.Add("play", std::make_unique<PushButton>(window.ForControls()));
    PushButton& play = window.Find<PushButton>("play");
    play.SetLeft(115);
    play.SetTop(140);
    play.SetWidth(70);
    play.SetHeight(20);
    play.SetEnabled(false);
    EXPECT_EQ(play.Widget().geometry(), QRect(115, 140, 70, 20));
    EXPECT_EQ(play.Widget().parentWidget(), &window.Content());
    EXPECT_FALSE(play.Widget().isEnabled());
}

TEST_F(WindowTest, ChasingArrowsAnimateOnlyWhileShown) {
    window.Add("busy", std::make_unique<ChasingArrows>(window.ForControls()));
    ChasingArrows& busy = window.Find<ChasingArrows>("busy");
    busy.SetVisible(false);
    window.Build();
    EXPECT_FALSE(busy.IsAnimating());
    busy.SetVisible(true);
    EXPECT_TRUE(busy.IsAnimating());
    busy.SetVisible(false);
    EXPECT_FALSE(busy.IsAnimating());
    EXPECT_EQ(busy.Widget().accessibleName(), "busy");
}

TEST_F(WindowTest, MenusAreRenderedInModelOrderWithPortableShortcuts) {
    const QList<QAction*> menus = window.menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "File");
    // An empty title would leave the menu unreachable: it shows under its name.
    EXPECT_EQ(menus[1]->text(), "Edit");
    const QList<QAction*> file = window.MenuOf("FileMenu")->actions();
    ASSERT_EQ(file.size(), 2);
    EXPECT_EQ(file[0]->objectName(), "about");
    EXPECT_EQ(file[1]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(file[1]->menuRole(), QAction::QuitRole);
    const QList<QAction*> edit = window.MenuOf("EditMenu")->actions();
    ASSERT_EQ(edit.size(), 2);
    EXPECT_EQ(edit[0]->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Z));
    EXPECT_TRUE(edit[1]->isSeparator());
}

TEST_F(WindowTest, CommandGoesToTheWindowFirstThenTheApplication) {
    window.AddMenuHandler("about", Handler("window", false));
    application.AddMenuHandler("about", Handler("application", false));
    window.ActionOf("about")->trigger();
    EXPECT_EQ(calls, (std::vector<std::string>{"window", "application"}));
}

TEST_F(WindowTest, CommandTheWindowHandlesNeverReachesTheApplication) {
    window.AddMenuHandler("about", Handler("window", true));
    application.AddMenuHandler("about", Handler("application", false));
    window.ChooseMenuItem("about");
    EXPECT_EQ(calls, (std::vector<std::string>{"window"}));
}

TEST_F(WindowTest, CommandWithoutAWindowHandlerGoesToTheApplication) {
    application.AddMenuHandler("about", Handler("application", false));
    window.ChooseMenuItem("about");
    EXPECT_EQ(calls, (std::vector<std::string>{"application"}));
}

TEST_F(WindowTest, QuitItemQuitsUnlessAHandlerTakesIt) {
    window.ActionOf("FileQuit")->trigger();
    EXPECT_EQ(quits, 1);
    window.AddMenuHandler("FileQuit", Handler("window", true));
    window.ChooseMenuItem("FileQuit");
    EXPECT_EQ(quits, 1);
}

TEST_F(WindowTest, ClosingTheWindowQuits) {
    window.Build();
    window.close();
    EXPECT_EQ(quits, 1);
}

TEST_F(WindowTest, NotResizeableFixesTheContentSizeAndDropsTitleButtons) {
    window.SetWidth(300);
    window.SetHeight(300);
    window.SetResizeable(false);
    window.SetCloseButton(false);
    window.SetMinimizeButton(false);
    window.SetMaximizeButton(false);
    window.Build();
    EXPECT_EQ(window.Content().size(), QSize(300, 300));
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    const Qt::WindowFlags flags = window.windowFlags();
    EXPECT_TRUE(flags.testFlag(Qt::CustomizeWindowHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(flags.testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.isVisible());
}

}  // namespace
}  // namespace lark
