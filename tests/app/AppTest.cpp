#include "app/App.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <sstream>

#include "app/MenuBar1.h"
#include "app/Startup.h"
#include "platform/UncaughtErrors.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"
#include "window/Window1.h"

namespace lark {
namespace {

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find(EndOfLine, start)) != std::string::npos;
         start = end + 1) {
        lines.push_back(text.substr(start, end - start));
    }
    lines.push_back(text.substr(start));
    return lines;
}

class AppTest : public ::testing::Test, protected testing::TestRuntime {
  protected:
    int StartUp() {
        return startup._Main([this] {
            loopWasRun = true;
            window = startup.DefaultWindow();
            return 7;
        });
    }

    SoundBank sounds{[]() -> ResourceFork* { return nullptr; }};
    int quits = 0;
    Startup startup{runtime, sounds, [this] { ++quits; }};
    bool loopWasRun = false;
    Window1* window = nullptr;
};

// --- the menu bar

TEST_F(AppTest, MenuBarHasTheTwoMenusInOrder) {
    MenuBar1& bar = MenuBar1::Instance();
    ASSERT_EQ(bar.Count(), 2u);
    EXPECT_EQ(bar.Item(0).Name(), "FileMenu");
    EXPECT_EQ(bar.Item(0).Text(), "About Larkspool 8");
    EXPECT_EQ(bar.Item(1).Name(), "EditMenu");
    EXPECT_EQ(bar.Item(1).Text(), "");
}

TEST_F(AppTest, MenuItemsHaveTheirNamesTextsAndShortcutsInOrder) {
    struct Row {
        std::string name, text, shortcut;
        bool quit;
    };
    const std::vector<Row> file = {{"aboutqv8", "About Larkspool 8", "", false},
                                   {"FileQuit", "Quit", "Cmd+Q", true}};
    const std::vector<Row> edit = {
        {"EditUndo", "Undo", "Cmd+Z", false},   {"UntitledMenu0", "-", "", false},
        {"EditCut", "Cut", "Cmd+X", false},     {"EditCopy", "Copy", "Cmd+C", false},
        {"EditPaste", "Paste", "Cmd+V", false}, {"EditClear", "Clear", "", false}};
    const MenuBar1& bar = MenuBar1::Instance();
    for (const auto& [menu, rows] : {std::pair{0, file}, std::pair{1, edit}}) {
        const MenuItem& m = bar.Item(menu);
        ASSERT_EQ(m.Count(), rows.size());
        for (std::size_t i = 0; i < rows.size(); ++i) {
            EXPECT_EQ(m.Item(i).Name(), rows[i].name);
            EXPECT_EQ(m.Item(i).Text(), rows[i].text);
            EXPECT_EQ(m.Item(i).KeyboardShortcut(), rows[i].shortcut);
            EXPECT_EQ(m.Item(i).IsQuit(), rows[i].quit);
            EXPECT_TRUE(m.Item(i).AutoEnable());
            EXPECT_EQ(m.Item(i).Count(), 0u);
        }
    }
    EXPECT_TRUE(bar.Item(0).AutoEnable());
}

TEST_F(AppTest, MenuBarIsOneSharedInstance) {
    StartUp();
    EXPECT_EQ(&MenuBar1::Instance(), &MenuBar1::Instance());
    EXPECT_EQ(startup.GetApp()->GetMenuBar(), &MenuBar1::Instance());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->GetMenuBar(), startup.GetApp()->GetMenuBar());
}

TEST_F(AppTest, WindowShowsTheMenusWithQtShortcuts) {
    StartUp();
    const QList<QAction*> menus = window->menuBar()->actions();
    ASSERT_EQ(menus.size(), 2);
    EXPECT_EQ(menus[0]->text(), "About Larkspool 8");
    EXPECT_EQ(menus[1]->text(), "Edit");
    EXPECT_EQ(window->ActionOf("FileQuit")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    EXPECT_EQ(window->ActionOf("EditPaste")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_V));
    EXPECT_TRUE(window->ActionOf("EditClear")->shortcut().isEmpty());
    EXPECT_TRUE(window->ActionOf("UntitledMenu0")->isSeparator());
}

// --- About

TEST_F(AppTest, AboutTextHasTenLinesWithNineSeparators) {
    const std::string text = AboutText();
    std::size_t separators = 0;
    for (std::size_t at = 0; (at = text.find(EndOfLine, at)) != std::string::npos; ++at) {
        ++separators;
    }
    EXPECT_EQ(separators, 9u);
    const auto lines = Lines(text);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines[0], "Larkspool 8");
    EXPECT_EQ(lines[2],
              "\xE2\x80\x98That\xE2\x80\x99s one small step for man, one giant leap for "
              "mankind\xE2\x80\x99");
    EXPECT_EQ(lines[4].substr(0, 48), "In one shot mode the machine plays each event on");
    EXPECT_NE(lines[7].find("Larkspool 8"), std::string::npos);
    EXPECT_NE(lines[8].find('@'), std::string::npos);
    EXPECT_EQ(lines[9].find("://"), std::string::npos);
    for (const std::string& line : lines) {
        EXPECT_FALSE(line.empty());
    }
}

TEST_F(AppTest, ChoosingAboutShowsTheMessageTwiceTheSame) {
    StartUp();
    window->ChooseMenuItem("aboutqv8");
    loop.RunUntilIdle();
    window->ActionOf("aboutqv8")->trigger();
    loop.RunUntilIdle();
    ASSERT_EQ(boxes.texts().size(), 2u);
    EXPECT_EQ(boxes.texts()[0], AboutText());
    EXPECT_EQ(boxes.texts()[1], AboutText());
    EXPECT_EQ(boxes.shown()[0].kind, MessageBoxes::Kind::Information);
}

TEST_F(AppTest, AboutHandlerWaitsForTheBoxAndReturnsFalse) {
    boxes.SetAutoDismiss(false);
    StartUp();
    std::optional<bool> result;
    loop.scheduler().Spawn("about", Invoke([&]() -> Task<> {
                               result = co_await startup.GetApp()->_aboutqv8_Action();
                           }));
    loop.RunUntilIdle();
    EXPECT_FALSE(result.has_value());
    EXPECT_EQ(boxes.OpenCount(), 1u);
    boxes.DismissOldest();
    loop.RunUntilIdle();
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
}

TEST_F(AppTest, AboutBoxDoesNotBlockOtherJobs) {
    boxes.SetAutoDismiss(false);
    StartUp();
    window->ChooseMenuItem("aboutqv8");
    window->Find<Thread>("Class31").Run();
    loop.RunUntilIdle();
    EXPECT_EQ(boxes.OpenCount(), 1u);
    EXPECT_FALSE(window->Find<Thread>("Class31").IsRunning());  // ran to its end meanwhile
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

TEST_F(AppTest, QuitQuits) {
    StartUp();
    window->ActionOf("FileQuit")->trigger();
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(boxes.shown().empty());
}

// --- start-up

TEST_F(AppTest, StartupBuildsEverythingBeforeTheEventLoopAndReturnsItsStatus) {
    EXPECT_EQ(StartUp(), 7);
    EXPECT_TRUE(loopWasRun);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    ASSERT_NE(startup.GetApp(), nullptr);
    EXPECT_NE(startup.GetApp()->Handlers().Find("aboutqv8"), nullptr);
    ASSERT_EQ(startup.Registry().Registered().size(), 1u);
}

TEST_F(AppTest, TextFileTypeIsRegisteredAndKept) {
    StartUp();
    const FileType expected{"text", "", "TEXT", "R*ch"};
    EXPECT_EQ(startup.GetFileTypes().text, expected);
    EXPECT_EQ(startup.Registry().Registered().front(), expected);
}

TEST_F(AppTest, DefaultViewIsMadeOnce) {
    StartUp();
    startup._MakeDefaultView();
    EXPECT_EQ(startup.DefaultWindow(), window);
    EXPECT_EQ(window->ObjectNames().size(), 9u);
}

TEST_F(AppTest, WindowOpensCentredOnItsScreen) {
    StartUp();
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(std::abs(window->geometry().center().x() - screen.center().x()), 1);
    EXPECT_LE(std::abs(window->geometry().center().y() - screen.center().y()), 1);
}

TEST_F(AppTest, HandlersNeedTheApplicationObject) {
    EXPECT_THROW(startup._ApplicationAddMenuHandlers(), NilObjectException);
    EXPECT_THROW(startup._MakeDefaultView(), NilObjectException);
}

TEST_F(AppTest, ApplicationIdentityIsSetForTheDesktop) {
    const QString name = QApplication::applicationName();
    SetApplicationIdentity();
    EXPECT_EQ(QApplication::applicationName(), "larkspool8");
    EXPECT_EQ(QApplication::applicationDisplayName(), "Larkspool 8");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.Larkspool8");
    QApplication::setApplicationName(name);
}

}  // namespace
}  // namespace lark
