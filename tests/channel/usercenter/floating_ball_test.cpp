// The floating ball: its window, taps that reveal and open, and docking
// after a drag on the classic phone and on a notched one, on its side.

#include <gtest/gtest.h>

#include "channel/VRQWindowManager.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/TouchSimulation.h"
#include "tests/channel/channel_test_support.h"

namespace {

class FloatingBallTest : public channel_test::ChannelTest {
protected:
    ~FloatingBallTest() override { ui::Screen::mainScreen()->setModel(ui::ScreenModel::notchedPhone()); }

    // 667 x 375, or the notched 812 x 375, on its side.
    void landscape(bool notched) {
        auto model = notched ? ui::ScreenModel::notchedPhone() : ui::ScreenModel::classicPhone();
        if (notched) model.portraitSize = {375, 812};
        ui::Screen::mainScreen()->setModel(model.inOrientation(ui::InterfaceOrientation::LandscapeRight));
        window->setFrame(ui::Screen::mainScreen()->bounds());
        env.runUntilIdle();
    }
    // A login brings the ball out.
    ns::Ref<VRQHelperBtn> makeBall() {
        VRQHelperBtn::setSignedIn(true);
        env.runUntilIdle();
        return VRQHelperBtn::shared();
    }
    cg::Point centre() { return ballWindow()->center(); }
    void tapBall() {
        ASSERT_TRUE(ui::simulateTap(centre()));
        env.fastForwardBy(0.5);
    }
    // A finger from the ball's centre to `to` in a few steps, then lifted.
    void dragTo(cg::Point to) {
        cg::Point from = centre();
        ui::TouchSequence touch(from);
        ASSERT_TRUE(touch.isDelivered());
        for (int step = 1; step <= 4; ++step)
            touch.moveTo({from.x + (to.x - from.x) * step / 4, from.y + (to.y - from.y) * step / 4});
        touch.end();
        env.fastForwardBy(0.5);
    }
    double W() { return ui::Screen::mainScreen()->bounds().size.width; }
    double H() { return ui::Screen::mainScreen()->bounds().size.height; }
};

TEST_F(FloatingBallTest, CreatedOnTheRightEdgeInAWindowAboveAlerts) {
    landscape(false);
    EXPECT_FALSE(VRQHelperBtn::isCreate());
    auto ball = makeBall();
    EXPECT_TRUE(VRQHelperBtn::isCreate());
    auto window = ballWindow();
    ASSERT_TRUE(window);
    EXPECT_EQ(window->frame(), (cg::Rect{667 - 30, 100, 60, 60}));
    EXPECT_EQ(window->windowLevel(), 4000);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(ball->frame(), (cg::Rect{0, 0, 60, 60}));
    EXPECT_EQ(ball->superview(), window);
    EXPECT_EQ(window->subviews().back(), ball);
    EXPECT_EQ(ball->status(), 0);

    // The next login's window puts it away; made once, the window is only
    // hidden and shown again, the ball above the root controller's view.
    VRQHelperBtn::setSignedIn(false);
    EXPECT_TRUE(window->isHidden());
    VRQHelperBtn::setSignedIn(true);
    EXPECT_EQ(ballWindow(), window);
    EXPECT_FALSE(window->isHidden());
    EXPECT_EQ(window->subviews().back(), ball);
    // The full-screen game window stays the top window: the ball's is too small.
    EXPECT_EQ(VRQWindowManager::topWindow(), this->window);
}

TEST_F(FloatingBallTest, AnyRegisteredWindowCountsAsCreated) {
    EXPECT_FALSE(VRQHelperBtn::isCreate());
    // Any registered window counts as created.
    VRQWindowManager::saveWindow(ui::Window::make({0, 0, 10, 10}), "other");
    EXPECT_TRUE(VRQHelperBtn::isCreate());
}

TEST_F(FloatingBallTest, ATapRevealsATuckedBallAndTheNextOpensTheCentre) {
    landscape(false);
    auto ball = makeBall();
    EXPECT_EQ(centre(), (cg::Point{667, 130}));
    tapBall();
    EXPECT_EQ(centre(), (cg::Point{617, 130}));
    EXPECT_EQ(ball->status(), 1);
    // No screen under the ball to open the centre from: the ball stays.
    tapBall();
    EXPECT_FALSE(ballWindow()->isHidden());
    EXPECT_EQ(centre(), (cg::Point{617, 130}));
}

TEST_F(FloatingBallTest, ATuckedBallInACornerComesOutInTwoSteps) {
    landscape(false);
    auto ball = makeBall();
    ballWindow()->setCenter({0, 0});
    ball->setStatus(1);
    EXPECT_EQ(centre(), (cg::Point{50, 50}));
}

TEST_F(FloatingBallTest, AFingerThatStaysNearTheCentreTaps) {
    landscape(false);
    auto ball = makeBall();
    cg::Point from = centre();
    ui::TouchSequence touch({from.x - 5, from.y});
    touch.moveTo({from.x - 200, from.y});  // the first move never moves the ball
    EXPECT_EQ(centre(), from);
    touch.moveTo({from.x - 25, from.y});   // within 30 pt: still no drag
    EXPECT_EQ(centre(), from);
    touch.end();
    env.fastForwardBy(0.5);
    EXPECT_FALSE(ball->isMoving());
    EXPECT_EQ(ball->status(), 1);
    EXPECT_EQ(centre(), (cg::Point{617, 130}));
}

TEST_F(FloatingBallTest, DraggedBallsDockToTheNearestEdgeOnTheClassicPhone) {
    landscape(false);
    auto ball = makeBall();
    tapBall();  // into view first, so every drag starts on screen

    dragTo({20, 150});  // near the left edge: tucked at x 0 (no notch)
    EXPECT_EQ(ball->btnAnimations(), VRQHelperBtn::Left);
    EXPECT_EQ(centre(), (cg::Point{0, 150}));
    EXPECT_EQ(ball->status(), 0);

    tapBall();
    EXPECT_EQ(centre(), (cg::Point{50, 150}));
    dragTo({W() - 50, H() / 2});  // exactly 50 pt from the right counts as near
    EXPECT_EQ(centre(), (cg::Point{W(), H() / 2}));
    EXPECT_EQ(ball->status(), 0);

    tapBall();
    dragTo({300, H() - 50});  // exactly 50 pt above the bottom does not
    EXPECT_EQ(ball->btnAnimations(), VRQHelperBtn::None);
    EXPECT_EQ(centre(), (cg::Point{300, H() - 50}));
    EXPECT_EQ(ball->status(), 1);

    dragTo({300, H() - 20});
    EXPECT_EQ(centre(), (cg::Point{300, H()}));
    EXPECT_EQ(ball->btnAnimations(), VRQHelperBtn::Bottom);

    tapBall();
    dragTo({W() - 10, 5});  // near the right but nearer the top: top, tucked on its side
    EXPECT_EQ(ball->btnAnimations(), VRQHelperBtn::Top);
    EXPECT_EQ(centre(), (cg::Point{W() - 10, 0}));
    EXPECT_EQ(ball->status(), 0);
}

TEST_F(FloatingBallTest, TheNotchedPhoneKeepsALeftDockedBallInView) {
    landscape(true);
    EXPECT_EQ(W(), 812);
    auto ball = makeBall();
    tapBall();
    EXPECT_EQ(centre(), (cg::Point{762, 130}));
    dragTo({20, 150});
    EXPECT_EQ(centre(), (cg::Point{50, 150}));
    EXPECT_EQ(ball->status(), 1);
    dragTo({W() - 30, 200});
    EXPECT_EQ(centre(), (cg::Point{812, 200}));
    EXPECT_EQ(ball->status(), 0);
}

TEST_F(FloatingBallTest, UprightTheTopEdgeKeepsTheBallInView) {
    ui::Screen::mainScreen()->setModel(ui::ScreenModel::classicPhone());
    window->setFrame(ui::Screen::mainScreen()->bounds());
    env.runUntilIdle();
    auto ball = makeBall();
    tapBall();
    dragTo({W() - 10, 5});
    EXPECT_EQ(centre(), (cg::Point{W() - 10, 50}));
    EXPECT_EQ(ball->status(), 1);
    EXPECT_EQ(ball->btnAnimations(), VRQHelperBtn::None);
    dragTo({20, 150});  // no notch upright either: tucked
    EXPECT_EQ(centre(), (cg::Point{0, 150}));
}

TEST_F(FloatingBallTest, TheCentresSwitchAccountReachesTheGameAsMinusNine) {
    auto ball = VRQHelperBtn::shared();
    std::vector<std::string> calls;
    auto block = ball->loginOutBlock();
    block();  // no closure yet: nothing
    ball->setFailedBlock([&](const ns::Ref<ns::String>& message, const ns::Ref<ns::String>& code) {
        calls.push_back(message->utf8() + "/" + code->utf8());
    });
    block();
    EXPECT_EQ(calls, (std::vector<std::string>{"注销/-9"}));
}

}  // namespace
