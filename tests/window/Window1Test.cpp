#include "window/Window1.h"

#include <gtest/gtest.h>

#include "app/MenuBar1.h"
#include "sounds/SoundBank.h"
#include "support/TestRuntime.h"

namespace lark {
namespace {

class Window1Test : public ::testing::Test, protected testing::TestRuntime {
  protected:
    SoundBank sounds{nullptr};
    Application application{[] {}};
    Window1& w = Window1::Instance(application, runtime, sounds, MenuBar1::Instance());
};

TEST_F(Window1Test, BuiltOnceFromItsLayoutRecordsWithObjectsFoundByNameAndKind) {
    EXPECT_EQ(&Window1::Instance(application, runtime, sounds, MenuBar1::Instance()), &w);
    EXPECT_EQ(w.windowTitle(), "Larkspool 8");
    EXPECT_EQ(w.Content().size(), QSize(300, 300));
    EXPECT_EQ(w.minimumSize(), w.maximumSize()) << "not resizeable";
    EXPECT_FALSE(w.windowFlags() & (Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                                    Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(w.ObjectNames(),
              (std::vector<std::string>{"play", "Class11", "Class21", "stop", "looped2", "oneshot",
                                        "ChasingArrows1", "looped1", "Class31"}));
    struct Row {
        const char* name;
        QRect rect;
        const char* caption;  // also the accessible name
        bool enabled, selected;
    };
    for (const Row& r : {Row{"play", {115, 140, 70, 20}, "start", true, false},
                         Row{"stop", {115, 240, 70, 20}, "stop", false, false},
                         Row{"looped2", {110, 60, 80, 20}, "looped 2", true, false},
                         Row{"oneshot", {185, 20, 80, 20}, "one shot", true, false},
                         Row{"looped1", {35, 20, 80, 20}, "looped 1", true, true}}) {
        SCOPED_TRACE(r.name);
        const auto& control = w.Find<CaptionedControl>(r.name);
        EXPECT_EQ(control.Widget().geometry(), r.rect);
        EXPECT_EQ(control.Widget().parentWidget(), &w.Content());
        EXPECT_EQ(control.Widget().accessibleName().toStdString(), r.caption);
        EXPECT_EQ(control.Widget().font().pixelSize(), 12);
        EXPECT_EQ(control.Enabled(), r.enabled);
        EXPECT_TRUE(control.Widget().isVisible());
        if (auto* radio = dynamic_cast<const RadioButton*>(&control)) {
            EXPECT_EQ(radio->Value(), r.selected);
        }
    }
    const ChasingArrows& arrows = w.Find<ChasingArrows>("ChasingArrows1");
    EXPECT_EQ(arrows.Widget().geometry(), QRect(133, 183, 34, 34));
    EXPECT_FALSE(arrows.Widget().isVisible());
    EXPECT_EQ(arrows.Widget().accessibleName(), "performance playing");
    for (const char* name : {"Class11", "Class21", "Class31"}) {
        EXPECT_EQ(w.Find<Thread>(name).Priority, 5);
        EXPECT_FALSE(w.Find<Thread>(name).IsRunning());
        EXPECT_THROW(w.Find<RectControl>(name), NilObjectException);
    }
}

}  // namespace
}  // namespace lark
