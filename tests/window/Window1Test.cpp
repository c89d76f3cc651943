#include "window/Window1.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QMenuBar>

#include "app/MenuBar1.h"
#include "platform/PropertyTables.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

class Window1Test : public ::testing::Test, protected testing::TestRuntime {
  protected:
    Window1& Build() {
        return Window1::Instance(application, runtime, sounds, MenuBar1::Instance());
    }

    SoundBank sounds{[]() -> ResourceFork* { return nullptr; }};
    int quits = 0;
    Application application{[this] { ++quits; }};
};

TEST_F(Window1Test, WindowPropertiesFollowItsRecord) {
    Window1& window = Build();
    EXPECT_EQ(window.Title(), "Larkspool 8");
    EXPECT_EQ(window.windowTitle(), "Larkspool 8");
    EXPECT_EQ(window.Content().size(), QSize(300, 300));
    EXPECT_FALSE(window.Resizeable());
    EXPECT_EQ(window.minimumSize(), window.maximumSize());
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowCloseButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(window.menuBar()->isVisibleTo(&window));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.MinWidth(), 64);
    EXPECT_EQ(window.MaxHeight(), 32000);
    EXPECT_EQ(window.GetAppearance().frame, 9);
    EXPECT_TRUE(window.GetAppearance().composite);
    EXPECT_EQ(window.GetAppearance().backColor, (Colour{255, 255, 255}));
}

TEST_F(Window1Test, NineObjectsAreAddedInCreationOrder) {
    const std::vector<std::string> expected = {"play",           "Class11", "Class21",
                                               "stop",           "looped2", "oneshot",
                                               "ChasingArrows1", "looped1", "Class31"};
    EXPECT_EQ(Build().ObjectNames(), expected);
}

TEST_F(Window1Test, InitialStateIsStoppedWithLooped1Chosen) {
    Window1& w = Build();
    EXPECT_TRUE(w.Find<RadioButton>("looped1").Value());
    EXPECT_FALSE(w.Find<RadioButton>("oneshot").Value());
    EXPECT_FALSE(w.Find<RadioButton>("looped2").Value());
    EXPECT_TRUE(w.Find<PushButton>("play").Enabled());
    EXPECT_FALSE(w.Find<PushButton>("stop").Enabled());
    EXPECT_TRUE(w.Find<PushButton>("stop").Visible());
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").Visible());
    EXPECT_TRUE(w.Find<ChasingArrows>("ChasingArrows1").Enabled());
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").IsAnimating());
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").Widget().isVisible());
}

TEST_F(Window1Test, CaptionsAndAccessibleNames) {
    Window1& w = Build();
    EXPECT_EQ(w.Find<PushButton>("play").Caption(), "start");
    EXPECT_EQ(w.Find<PushButton>("stop").Caption(), "stop");
    EXPECT_EQ(w.Find<RadioButton>("looped1").Caption(), "looped 1");
    EXPECT_EQ(w.Find<RadioButton>("oneshot").Caption(), "one shot");
    EXPECT_EQ(w.Find<RadioButton>("looped2").Caption(), "looped 2");
    EXPECT_EQ(w.Find<PushButton>("play").Widget().accessibleName(), "start");
    EXPECT_EQ(w.Find<RadioButton>("oneshot").Widget().accessibleName(), "one shot");
    EXPECT_EQ(w.Find<ChasingArrows>("ChasingArrows1").Widget().accessibleName(), "busy");
}

TEST_F(Window1Test, EveryControlSitsWhereTheLayoutSays) {
    Window1& w = Build();
    const std::vector<std::pair<std::string, QRect>> expected = {
        {"play", {115, 140, 70, 20}},   {"stop", {115, 240, 70, 20}},
        {"looped2", {110, 60, 80, 20}}, {"oneshot", {185, 20, 80, 20}},
        {"looped1", {35, 20, 80, 20}},  {"ChasingArrows1", {133, 183, 34, 34}},
    };
    for (const auto& [name, rect] : expected) {
        const RectControl& control = w.Find<RectControl>(name);
        EXPECT_EQ(control.Widget().geometry(), rect) << name;
        EXPECT_EQ(control.Widget().parentWidget(), &w.Content()) << name;
        EXPECT_EQ(control.Index(), INT32_MIN) << name;
    }
}

TEST_F(Window1Test, CaptionedControlsUseTheSystemFontAt12Pixels) {
    Window1& w = Build();
    const PushButton& play = w.Find<PushButton>("play");
    EXPECT_EQ(play.Style().font, "System");
    EXPECT_EQ(play.Widget().font().pixelSize(), 12);
    EXPECT_FALSE(play.Default());
    EXPECT_FALSE(play.Cancel());
    EXPECT_EQ(w.Find<RadioButton>("looped1").Widget().font().pixelSize(), 12);
}

TEST_F(Window1Test, ThreadObjectsAreFoundByNameWithTheirRecordApplied) {
    Window1& w = Build();
    for (const char* name : {"Class11", "Class21", "Class31"}) {
        const Thread& thread = w.Find<Thread>(name);
        EXPECT_EQ(thread.Name(), name);
        EXPECT_EQ(thread.Priority, 5);
        EXPECT_EQ(thread.StackSize, 0);
        EXPECT_FALSE(thread.IsRunning());
        EXPECT_THROW(w.Find<RectControl>(name), NilObjectException);
    }
    EXPECT_NO_THROW(w.Find<Class1>("Class11"));
    EXPECT_THROW(w.Find<Class2>("Class11"), NilObjectException);
    EXPECT_NO_THROW(w.Find<Class2>("Class21"));
    EXPECT_NO_THROW(w.Find<Class3>("Class31"));
}

TEST_F(Window1Test, ThreadRunEventsAreBound) {
    Window1& w = Build();
    for (const char* name : {"Class11", "Class21", "Class31"}) {
        Thread& thread = w.Find<Thread>(name);
        thread.Run();
        EXPECT_TRUE(thread.IsRunning()) << name << " has no run routine";
        thread.Kill();
    }
}

TEST_F(Window1Test, ClickingARadioButtonOnlyChangesTheSelection) {
    Window1& w = Build();
    static_cast<QAbstractButton&>(w.Find<RectControl>("oneshot").Widget()).click();
    loop.RunUntilIdle();
    EXPECT_TRUE(w.Find<RadioButton>("oneshot").Value());
    EXPECT_FALSE(w.Find<RadioButton>("looped1").Value());
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);
    EXPECT_TRUE(boxes.shown().empty());
}

TEST_F(Window1Test, SecondRequestReturnsTheSameWindowAndBuildsNothing) {
    Window1& first = Build();
    const auto children = first.Content().children().size();
    Window1& second = Build();
    EXPECT_EQ(&first, &second);
    EXPECT_EQ(second.Content().children().size(), children);
    EXPECT_EQ(second.ObjectNames().size(), 9u);
}

TEST_F(Window1Test, UsesTheSharedMenuBar) {
    Window1& w = Build();
    EXPECT_EQ(w.GetMenuBar(), &MenuBar1::Instance());
    EXPECT_EQ(&w.aboutqv8(), &MenuBar1::Instance().Child("aboutqv8"));
    EXPECT_EQ(w.FileQuit().Text(), "Quit");
    EXPECT_TRUE(w.UntitledMenu0().IsSeparator());
    EXPECT_EQ(w.EditMenu().Count(), 6u);
}

TEST_F(Window1Test, WindowAboutHandlerPassesTheCommandOn) {
    Window1& w = Build();
    std::optional<bool> result;
    loop.scheduler().Spawn("about",
                           Invoke([&]() -> Task<> { result = co_await w._aboutqv8_Action(); }));
    ASSERT_TRUE(result.has_value());
    EXPECT_FALSE(*result);
}

TEST_F(Window1Test, EditItemsChangeNothing) {
    Window1& w = Build();
    for (const char* name : {"EditUndo", "EditCut", "EditCopy", "EditPaste", "EditClear"}) {
        w.ActionOf(name)->trigger();
    }
    loop.RunUntilIdle();
    EXPECT_TRUE(w.Find<RadioButton>("looped1").Value());
    EXPECT_TRUE(w.Find<PushButton>("play").Enabled());
    EXPECT_FALSE(w.Find<PushButton>("stop").Enabled());
    EXPECT_FALSE(w.Find<ChasingArrows>("ChasingArrows1").Visible());
    EXPECT_FALSE(w.Find<Thread>("Class31").IsRunning());
    EXPECT_EQ(loop.scheduler().JobCount(), 0u);
    EXPECT_TRUE(boxes.shown().empty());
    EXPECT_EQ(quits, 0);
}

TEST_F(Window1Test, StoredRecordsHaveTheListedEntries) {
    EXPECT_EQ(DecodeLayoutRecord("Window1", WindowProperties(), layout::Window1Record()).size(),
              22u);
    EXPECT_EQ(DecodeLayoutRecord("play", PushButtonProperties(), layout::PlayRecord()).size(), 24u);
    EXPECT_EQ(DecodeLayoutRecord("stop", PushButtonProperties(), layout::StopRecord()).size(), 24u);
    EXPECT_EQ(
        DecodeLayoutRecord("looped1", RadioButtonProperties(), layout::Looped1Record()).size(),
        23u);
    EXPECT_EQ(DecodeLayoutRecord("ChasingArrows1", ChasingArrowsProperties(),
                                 layout::ChasingArrows1Record())
                  .size(),
              16u);
    const auto thread = DecodeLayoutRecord("Class11", ThreadProperties(), layout::ThreadRecord());
    const std::vector<PropertyEntry> expected = {{2, std::int32_t{5}}, {0, std::int32_t{0}}};
    EXPECT_EQ(thread, expected);
}

TEST_F(Window1Test, StoredWindowRecordIsInTheStoredOrder) {
    std::vector<std::uint16_t> order;
    for (const auto& e :
         DecodeLayoutRecord("Window1", WindowProperties(), layout::Window1Record())) {
        order.push_back(e.index);
    }
    const std::vector<std::uint16_t> expected = {5, 3, 4, 24, 25, 26, 27, 16, 17, 21, 22,
                                                 6, 0, 7, 8,  10, 12, 18, 14, 15, 23, 28};
    EXPECT_EQ(order, expected);
}

TEST_F(Window1Test, PlayRecordBeginsWithNameIndexAndLeft) {
    const auto bytes = layout::PlayRecord();
    const std::vector<std::uint8_t> head(bytes.begin(), bytes.begin() + 22);
    const std::vector<std::uint8_t> expected = {0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 'p',  'l',
                                                'a',  'y',  0x00, 0x01, 0x80, 0x00, 0x00, 0x00,
                                                0x00, 0x13, 0x00, 0x00, 0x00, 0x73};
    EXPECT_EQ(head, expected);
}

}  // namespace
}  // namespace lark
