#include "app/App.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <algorithm>

#include "app/MenuBar1.h"
#include "app/Startup.h"
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

    SoundBank sounds{nullptr};
    int quits = 0;
    Startup startup{runtime, sounds, [this] { ++quits; }};
    Window1* window = nullptr;  // as found when the event loop starts
};

TEST_F(AppTest, StartupBuildsEverythingOnceBeforeTheEventLoopWithTheMenusAsShown) {
    EXPECT_THROW(startup._MakeDefaultView(), NilObjectException) << "no App yet";
    EXPECT_EQ(StartUp(), 7);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(startup.GetApp()->GetMenuBar(), &MenuBar1::Instance());
    startup._MakeDefaultView();
    EXPECT_EQ(startup.DefaultWindow(), window) << "made once";
    const QPoint offCentre = window->geometry().center() -
                             QGuiApplication::primaryScreen()->availableGeometry().center();
    EXPECT_LE(offCentre.manhattanLength(), 2) << "centred on the screen";

    SetApplicationIdentity();
    EXPECT_EQ(QApplication::applicationName(), "larkspool8");
    EXPECT_EQ(QApplication::applicationDisplayName(), "Larkspool 8");
    EXPECT_EQ(QGuiApplication::desktopFileName(), "org.example.Larkspool8");

    // The menus as a person finds them (menu: item shortcut), and where their commands go.
    std::vector<std::string> shown;
    for (const QAction* menu : window->menuBar()->actions()) {
        for (const QAction* item : menu->menu()->actions()) {
            EXPECT_TRUE(item->isEnabled());
            shown.push_back((menu->text() + ": " + (item->isSeparator() ? "-" : item->text()) +
                             " " + item->shortcut().toString())
                                .trimmed()
                                .toStdString());
        }
    }
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "About Larkspool 8: About Larkspool 8", "About Larkspool 8: Quit Ctrl+Q",
                         "Edit: Undo Ctrl+Z", "Edit: -", "Edit: Cut Ctrl+X", "Edit: Copy Ctrl+C",
                         "Edit: Paste Ctrl+V", "Edit: Clear"}));
    EXPECT_EQ(window->ActionOf("FileQuit")->menuRole(), QAction::QuitRole);

    window->AddMenuHandler("FileQuit", []() -> Task<bool> { co_return true; });
    window->ActionOf("FileQuit")->trigger();
    EXPECT_EQ(quits, 0) << "taken by the window's handler";
    window->close();
    EXPECT_EQ(quits, 1) << "closing the window quits";
}

// The About text's shape: ten lines, none empty, the sentence on the third in typographic
// quotes and plain ASCII elsewhere. What the lines say is read off the screen end to end.
TEST_F(AppTest, AboutShowsItsTextInInformationBoxesAndWaitsWithoutBlocking) {
    std::vector<std::string> lines;  // a line end at either end would give an empty line
    const std::string text = AboutText();
    for (std::size_t from = 0, end = 0; end != std::string::npos; from = end + 1) {
        end = text.find(EndOfLine, from);
        lines.push_back(text.substr(from, end - from));
    }
    ASSERT_EQ(lines.size(), 10u);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const bool ascii =
            std::all_of(lines[i].begin(), lines[i].end(), [](unsigned char c) { return c < 0x80; });
        EXPECT_EQ(ascii, i != 2) << "line " << i + 1 << ": " << lines[i];
        EXPECT_FALSE(lines[i].empty()) << "line " << i + 1;
    }
    EXPECT_TRUE(lines[2].starts_with("\u2018") && lines[2].ends_with("\u2019")) << lines[2];
    EXPECT_NE(lines[2].find("That\u2019s"), std::string::npos) << lines[2];

    boxes.autoDismiss = false;
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
    EXPECT_EQ(boxes.texts, std::vector<std::string>(3, AboutText()));
    EXPECT_EQ(boxes.kinds, std::vector(3, MessageBoxes::Kind::Information));
    boxes.DismissOldest();
    loop.RunUntilIdle();
    EXPECT_EQ(result, false);
}

}  // namespace
}  // namespace lark
