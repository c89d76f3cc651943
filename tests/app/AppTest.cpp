#include "app/App.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <array>
#include <sstream>

#include "app/MenuBar1.h"
#include "app/Startup.h"
#include "runtime/UncaughtErrors.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"
#include "window/Window1.h"

namespace lark {
namespace {

class AppTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    int StartUp() {
        return startup._Main([this] {
            window = startup.DefaultWindow();
            return 7;
        });
    }

    SoundBank sounds{[]() -> ResourceFork* { return nullptr; }};
    Startup startup{runtime, sounds, [] {}};
    Window1* window = nullptr;  // as found when the event loop starts
};

TEST_F(AppTest, StartupBuildsEverythingBeforeTheEventLoopAndReturnsItsStatus) {
    EXPECT_THROW(startup._ApplicationAddMenuHandlers(), NilObjectException) << "no App yet";
    EXPECT_THROW(startup._MakeDefaultView(), NilObjectException) << "no App yet";

    EXPECT_EQ(StartUp(), 7);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_NE(startup.GetApp(), nullptr);
    EXPECT_NE(startup.GetApp()->Handlers().Find("aboutqv8"), nullptr);
    const FileType text{"text", "", "TEXT", "R*ch"};
    EXPECT_EQ(startup.GetFileTypes().text, text);
    EXPECT_EQ(startup.Registry().Registered(), std::vector<FileType>{text});
    EXPECT_EQ(startup.GetApp()->GetMenuBar(), &MenuBar1::Instance());
    EXPECT_EQ(window->GetMenuBar(), &MenuBar1::Instance());

    startup._MakeDefaultView();
    EXPECT_EQ(startup.DefaultWindow(), window) << "made once";
    EXPECT_EQ(window->ObjectNames().size(), 9u);

    const QPoint offCentre = window->geometry().center() -
                             QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(std::abs(offCentre.x()), 1);
    EXPECT_LE(std::abs(offCentre.y()), 1);
}

TEST_F(AppTest, ApplicationIdentityIsSetForTheDesktop) {
    const QString name = QApplication::applicationName();
    SetApplicationIdentity();
    EXPECT_EQ(QApplication::applicationName(), "larkspool8");
    EXPECT_EQ(QApplication::applicationDisplayName(), "Larkspool 8");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.Larkspool8");
    QApplication::setApplicationName(name);
}

TEST_F(AppTest, TheMenuTreeAndItsQtForm) {
    using Row = std::array<std::string, 4>;  // parent, name, text, shortcut
    const std::vector<Row> expected = {{"", "FileMenu", "About Larkspool 8", ""},
                                       {"FileMenu", "aboutqv8", "About Larkspool 8", ""},
                                       {"FileMenu", "FileQuit", "Quit", "Cmd+Q"},
                                       {"", "EditMenu", "", ""},
                                       {"EditMenu", "EditUndo", "Undo", "Cmd+Z"},
                                       {"EditMenu", "UntitledMenu0", "-", ""},
                                       {"EditMenu", "EditCut", "Cut", "Cmd+X"},
                                       {"EditMenu", "EditCopy", "Copy", "Cmd+C"},
                                       {"EditMenu", "EditPaste", "Paste", "Cmd+V"},
                                       {"EditMenu", "EditClear", "Clear", ""}};
    std::vector<Row> tree;
    const auto add = [&](const std::string& parent, const MenuItem& item) {
        tree.push_back({parent, item.Name(), item.Text(), item.KeyboardShortcut()});
        EXPECT_EQ(item.IsQuit(), item.Name() == "FileQuit") << item.Name();
        EXPECT_TRUE(item.AutoEnable()) << item.Name();
    };
    const MenuBar1& bar = MenuBar1::Instance();
    for (std::size_t i = 0; i < bar.Count(); ++i) {
        add("", bar.Item(i));
        for (std::size_t j = 0; j < bar.Item(i).Count(); ++j) {
            add(bar.Item(i).Name(), bar.Item(i).Item(j));
            EXPECT_EQ(bar.Item(i).Item(j).Count(), 0u);
        }
    }
    EXPECT_EQ(tree, expected);

    StartUp();
    const QList<QAction*> shown = window->menuBar()->actions();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_EQ(shown[0]->text(), "About Larkspool 8");
    EXPECT_EQ(shown[1]->text(), "Edit");
    EXPECT_EQ(window->ActionOf("FileQuit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window->ActionOf("EditPaste")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_TRUE(window->ActionOf("EditClear")->shortcut().isEmpty());
    EXPECT_TRUE(window->ActionOf("UntitledMenu0")->isSeparator());
}

TEST_F(AppTest, AboutShowsItsTextInformationBoxesAndWaitsWithoutBlocking) {
    EXPECT_EQ(AboutText(),
              "Larkspool 8\n"
              "Larkspool 8 uses the short speech that Halvard Ostrin made when stepping on to the "
              "surface of the moon.\n"
              "\xE2\x80\x98That\xE2\x80\x99s one small step for man, one giant leap for "
              "mankind\xE2\x80\x99\n"
              "The larkspool takes each word of this sentence, along with both the pause that "
              "Ostrin left in the middle of the sentence and the beep sound that was a feature of "
              "the communications between the earth and the astronauts, and plays them in a "
              "random order.\n"
              "In one shot mode the machine plays each event only once (there is therefore, an "
              "extremely small chance that the sentence will be played as it was originally "
              "spoken).\n"
              "Looped 1 mode is the same as one shot mode with two variations. Firstly, the "
              "program plays indefinitely until stopped by the user and secondly the beep only "
              "sounds at the end of each cycle rather than at any point within it.\n"
              "In looped 2 mode the machine plays indefinitely until stopped by the user and has "
              "no restrictions on when any event can sound, so it can repeat the same word rather "
              "than allowing each word to appear once before resounding.\n"
              "Larkspool 8 by the Larkspool authors\n"
              "larkspool@example.org\n"
              "larkspool.example.org");

    boxes.SetAutoDismiss(false);
    StartUp();
    std::optional<bool> result;
    loop.scheduler().Spawn("about", Invoke([&]() -> Task<> {
                               result = co_await startup.GetApp()->_aboutqv8_Action();
                           }));
    window->ChooseMenuItem("aboutqv8");       // through the window's handler to the App's
    window->ActionOf("aboutqv8")->trigger();  // and through Qt
    window->Find<Thread>("Class31").Run();
    loop.RunUntilIdle();
    EXPECT_EQ(result, std::nullopt) << "waits for its box";
    EXPECT_FALSE(window->Find<Thread>("Class31").IsRunning()) << "ran to its end meanwhile";
    EXPECT_EQ(boxes.texts(), std::vector<std::string>(3, AboutText()));
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Information);
    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_EQ(result, false);
}

TEST_F(AppTest, ExceptionInAMenuHandlerIsReportedAndTheAppGoesOn) {
    std::ostringstream log;
    UncaughtErrors uncaught(boxes, log);
    loop.scheduler().SetUncaughtHandler(
        [&uncaught](const std::string& job, std::exception_ptr e) { uncaught.Report(job, e); });
    StartUp();
    window->AddMenuHandler("EditCut", []() -> Task<bool> {
        throw NilObjectException("control nothing");
        co_return true;
    });
    window->ChooseMenuItem("EditCut");
    loop.RunUntilIdle();
    EXPECT_NE(log.str().find("EditCut.Action failed: missing control nothing"), std::string::npos)
        << log.str();
    window->ChooseMenuItem("aboutqv8");
    loop.RunUntilIdle();
    EXPECT_EQ(boxes.texts().back(), AboutText());
}

}  // namespace
}  // namespace lark
