// The stand-in player's way back from the user centre: a tap that something
// over the centre would take (a gift pop-up's dim cover, in the centre's
// window or a window in front) is not made and the step waits, saying what
// keeps it; once nothing is over it, the tap closes the centre.

#include <gtest/gtest.h>

#include "platform/foundation/Log.h"
#include "platform/uikit/Window.h"
#include "sandbox/road/CentreSteps.h"
#include "sandbox/road/RoadStageList.h"
#include "tests/channel/usercenter/usercentre_test_support.h"

namespace {

class BackToTheGameTest : public usercentre_test::CentreTest {
protected:
    BackToTheGameTest() { road::progress().reset(); }

    // The player's step that goes back to the game.
    road::Step back() {
        for (auto& step : road::centreSteps(driver))
            if (std::string_view(step.waitingFor) == road::waitingFor(road::line::kBackToTheGame)) return step;
        ADD_FAILURE() << "no step goes back to the game";
        return {};
    }
    bool wentBack() const { return log.contains("road: back to the game"); }

    ns::LogCapture log;
};

TEST_F(BackToTheGameTest, APopUpOverTheCentreKeepsTheStepWaitingUntilItGoes) {
    struct Case {
        const char* name;
        bool windowOfItsOwn;
    };
    for (const Case& c : {Case{"a cover in the centre's window", false}, Case{"a window in front", true}}) {
        SCOPED_TRACE(c.name);
        use(Landscape);
        auto centre = open();
        ASSERT_TRUE(centre);
        auto step = back();
        ASSERT_TRUE(step.act && step.obstacle);

        // The pop-up's dim cover, over the whole screen, takes every touch.
        auto cover = ui::View::make(ui::Screen::mainScreen()->bounds());
        cover->setBackgroundColor(cg::Color{0, 0, 0, 0.5});
        ns::Ref<ui::Window> front;
        if (c.windowOfItsOwn) {
            front = ui::Window::makeFullScreen();
            front->setWindowLevel(window->windowLevel() + 1);
            front->addSubview(cover);
            front->setHidden(false);
        } else {
            window->addSubview(cover);
        }
        env.runUntilIdle();
        EXPECT_FALSE(step.act());
        env.fastForwardBy(1.0);
        EXPECT_EQ(root->presentedViewController(), centre) << "the centre stays open under the pop-up";
        EXPECT_FALSE(wentBack());
        EXPECT_STREQ(step.obstacle(), "something over the user centre takes the tap");

        // The pop-up claimed and gone: the tap reaches the centre's back cover.
        cover->removeFromSuperview();
        if (front) front->setHidden(true);
        env.runUntilIdle();
        EXPECT_STREQ(step.obstacle(), road::kNothingOnTheScreen);
        EXPECT_TRUE(step.act());
        env.fastForwardBy(1.0);
        EXPECT_FALSE(root->presentedViewController()) << "the centre closed";
        EXPECT_TRUE(wentBack());
        log.clear();
    }
}

}  // namespace
