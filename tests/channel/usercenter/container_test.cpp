// The user-centre container opened from the ball: tabs, red dots against the
// stored counters, the four layout cases, back to the game and switch
// account. The pages live above this library: here the tabs hold blank
// pages, which is all the container needs.

#include <gtest/gtest.h>

#include "channel/usercenter/TVSuChildPage.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/UIButton+TVImageTitleSpacing.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/Screen.h"
#include "tests/channel/usercenter/usercentre_test_support.h"

namespace {

using ContainerTest = usercentre_test::CentreTest;

TEST_F(ContainerTest, TheSecondTapOpensTheCentreWithTheBallHidden) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    EXPECT_TRUE(ballWindow()->isHidden());
    EXPECT_EQ(centre->modalPresentationStyle(), ui::ModalPresentationStyle::Custom);
    EXPECT_EQ(centre->childViewControllers().size(), 5u);
    EXPECT_EQ(centre->chooseBtn(), centre->homeBtn.lock());
    EXPECT_FALSE(centre->homeBtn.lock()->isEnabled());
    auto home = centre->childViewControllers()[0]->view();
    EXPECT_EQ(home->superview(), centre->tempView.lock());
    EXPECT_EQ(home->frame(), centre->tempView.lock()->bounds());
    EXPECT_EQ(constants(*centre), (std::vector<double>{0, 300, 0, 49}));
    // The tabs stand image above title.
    EXPECT_LT(tab(*centre, 11)->imageEdgeInsets().top, 0);
    EXPECT_EQ(centre->view()->viewWithTag(TVSuChildPage::kSlideAreaTag), centre->tempView.lock());
}

TEST_F(ContainerTest, TabsSwapPagesOverTheHomePage) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    auto pages = centre->childViewControllers();
    tapTab(*centre, 11);
    EXPECT_EQ(pages[1]->view()->superview(), centre->tempView.lock());
    EXPECT_FALSE(tab(*centre, 11)->isEnabled());
    EXPECT_TRUE(centre->homeBtn.lock()->isEnabled());
    tapTab(*centre, 12);
    EXPECT_FALSE(pages[1]->view()->superview());
    EXPECT_EQ(pages[2]->view()->superview(), centre->tempView.lock());
    EXPECT_EQ(pages[0]->view()->superview(), centre->tempView.lock());
    EXPECT_EQ(centre->tempView.lock()->subviews().back(), pages[2]->view());
    // The chosen tab is disabled: tapping it again does nothing.
    centre->btnClick(*tab(*centre, 12));
    EXPECT_EQ(centre->addView(), pages[2]->view());
}

TEST_F(ContainerTest, LayoutCasesByOrientationAndNotch) {
    use(Portrait);
    auto centre = open();
    ASSERT_TRUE(centre);
    EXPECT_EQ(constants(*centre), (std::vector<double>{22, 300, 0, 49}));
    centre->dismissViewController(false);
    env.runUntilIdle();

    use(NotchedLandscape);
    centre = open();
    ASSERT_TRUE(centre);
    EXPECT_TRUE(centre->isX());
    EXPECT_EQ(constants(*centre), (std::vector<double>{0, 344, 44, 83}));
    // The page area ends where the tab bar begins.
    centre->view()->layoutIfNeeded();
    auto area = centre->tempView.lock();
    auto bar = centre->bottomView.lock();
    EXPECT_EQ(area->frame().origin.x, 44);
    EXPECT_EQ(area->frame().origin.y + area->frame().size.height, bar->frame().origin.y);
    EXPECT_EQ(bar->frame().origin.y + 83, 375);
    centre->viewWillTransitionToSize({375, 812});
    EXPECT_EQ(centre->screenFlag(), 1);
    EXPECT_EQ(constants(*centre), (std::vector<double>{44, 300, 0, 83}));
}

TEST_F(ContainerTest, TheWelfareDotShowsForNewVouchersUntilTheTabIsChosen) {
    use(Landscape);
    auto vale = ShareVale::sharedInstance();
    vale->setSuGiftCount(3);
    auto centre = open();
    ASSERT_TRUE(centre);
    // Stored (0, 3, 0) against posts 0, packs 3, vouchers 1.
    EXPECT_TRUE(centre->homeRed.lock()->isHidden());
    EXPECT_FALSE(centre->welfareRed.lock()->isHidden());
    tapTab(*centre, 12);
    EXPECT_TRUE(centre->welfareRed.lock()->isHidden());
    EXPECT_EQ(vale->suGiftCount(), 3);
    EXPECT_EQ(vale->suCouponCount(), 1);
    centre->hiddenHelperVC();
    env.fastForwardBy(1.0);
    EXPECT_FALSE(ballWindow()->isHidden());

    centre = open();
    ASSERT_TRUE(centre);
    EXPECT_TRUE(centre->homeRed.lock()->isHidden());
    EXPECT_TRUE(centre->welfareRed.lock()->isHidden());
    EXPECT_EQ(sent("Home/number").size(), 2u);
    EXPECT_EQ(sent("Home/number")[0].value("username"), "player1");
    EXPECT_EQ(sent("Home/number")[0].value("gid"), "g42");
}

TEST_F(ContainerTest, NewPostsShowTheHomeDot) {
    use(Landscape);
    server.userCentre().setCounters(R"({"posts":{"log":"2"},"card":{"total":0,"log":null}})");
    auto centre = open();
    ASSERT_TRUE(centre);
    EXPECT_FALSE(centre->homeRed.lock()->isHidden());
    EXPECT_TRUE(centre->welfareRed.lock()->isHidden());
    tapTab(*centre, 11);
    tapTab(*centre, 10);
    EXPECT_TRUE(centre->homeRed.lock()->isHidden());
    EXPECT_EQ(ShareVale::sharedInstance()->suHomeCount(), 2);
}

TEST_F(ContainerTest, TheCountsStatusIsOneAsNumberOrText) {
    use(Landscape);
    server.userCentre().setCounters(R"({"posts":{"log":1},"card":"none"})");
    for (const char* status : {"1", R"("1")", R"("0")", "null", R"("yes")"}) {
        server.userCentre().setCountersStatus(status);
        auto centre = open();
        ASSERT_TRUE(centre);
        bool accepted = std::string(status) == "1" || std::string(status) == R"("1")";
        EXPECT_EQ(centre->homeRed.lock()->isHidden(), !accepted) << status;
        // A "card" that is not a dictionary counts nothing.
        EXPECT_TRUE(centre->welfareRed.lock()->isHidden()) << status;
        EXPECT_EQ(centre->suGiftCount(), 0);
        centre->hiddenHelperVC();
        env.fastForwardBy(1.0);
    }
}

TEST_F(ContainerTest, AFailedCountNeverOverwritesTheStoredCounters) {
    use(Landscape);
    auto vale = ShareVale::sharedInstance();
    vale->setSuGiftCount(5);
    vale->setSuCouponCount(4);
    vale->setSuHomeCount(6);
    ::setenv("GAMEHOST_CHANNEL_API_URL", "http://127.0.0.1:1/sdkapicoupon/", 1);
    auto centre = open();
    ASSERT_TRUE(centre);
    EXPECT_TRUE(centre->welfareRed.lock()->isHidden());
    tapTab(*centre, 12);
    tapTab(*centre, 10);
    EXPECT_EQ(vale->suGiftCount(), 5);
    EXPECT_EQ(vale->suCouponCount(), 4);
    EXPECT_EQ(vale->suHomeCount(), 6);
}

TEST_F(ContainerTest, BackToTheGameShowsTheBall) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    // The dimmed screen beside the panel.
    ASSERT_TRUE(driver.tapAt({500, 200}));
    env.fastForwardBy(1.0);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(ballWindow()->isHidden());
}

TEST_F(ContainerTest, SwitchAccountCallsTheGameWithMinusNineAndKeepsTheBallHidden) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    centre->loginOutBlock()();
    EXPECT_EQ(failures, (std::vector<std::string>{"-9|注销"}));
    // The home page's chain also closes the centre.
    centre->dismissViewController(false);
    env.fastForwardBy(1.0);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballWindow()->isHidden());
}

class BallTapTest : public usercentre_test::CentreTest {
protected:
    // The ball tapped into view, then tapped to open the centre.
    void tapBallTwice() {
        VRQHelperBtn::setSignedIn(true);
        env.runUntilIdle();
        for (int tap = 0; tap < 2; ++tap) {
            ASSERT_TRUE(ui::simulateTap(ballWindow()->center()));
            env.fastForwardBy(1.0);
        }
    }
    // A screen of the game's own over its root, as the page's dialogs are.
    ns::Ref<ui::ViewController> presentGameScreen() {
        auto screen = std::make_shared<ui::ViewController>();
        root->presentViewController(screen, false);
        env.runUntilIdle();
        return screen;
    }
};

TEST_F(BallTapTest, TheCentreOpensOverAScreenTheGamePresentsAndLeavesItThere) {
    use(Landscape);
    auto gameScreen = presentGameScreen();
    tapBallTwice();
    auto centre = ns::cast<TVSuspendVC>(gameScreen->presentedViewController());
    ASSERT_TRUE(centre);
    EXPECT_TRUE(centre->view()->window());
    EXPECT_TRUE(ballWindow()->isHidden());
    centre->goBackGameVC();
    env.fastForwardBy(1.0);
    EXPECT_EQ(root->presentedViewController(), gameScreen);
    EXPECT_FALSE(gameScreen->presentedViewController());
    EXPECT_FALSE(ballWindow()->isHidden());
}

TEST_F(BallTapTest, TheGameTakingItsScreenDownUnderTheCentreBringsTheBallBack) {
    use(Landscape);
    auto gameScreen = presentGameScreen();
    tapBallTwice();
    ns::Weak<TVSuspendVC> centre = ns::cast<TVSuspendVC>(gameScreen->presentedViewController());
    ASSERT_TRUE(centre.lock());
    EXPECT_TRUE(ballWindow()->isHidden());
    // The game closes its screen; the centre goes with it.
    root->dismissViewController(true);
    env.fastForwardBy(1.0);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(centre.lock());
    EXPECT_FALSE(ballWindow()->isHidden());

    // The screen closed from itself takes the centre first: the same.
    root->presentViewController(gameScreen, false);
    env.runUntilIdle();
    ASSERT_TRUE(ui::simulateTap(ballWindow()->center()));
    env.fastForwardBy(1.0);
    ASSERT_TRUE(ns::cast<TVSuspendVC>(gameScreen->presentedViewController()));
    EXPECT_TRUE(ballWindow()->isHidden());
    gameScreen->dismissViewController(false);
    env.fastForwardBy(1.0);
    EXPECT_EQ(root->presentedViewController(), gameScreen);
    EXPECT_FALSE(gameScreen->presentedViewController());
    EXPECT_FALSE(ballWindow()->isHidden());
}

TEST_F(BallTapTest, AfterSwitchAccountTheBallStaysHiddenHoweverTheCentreGoes) {
    use(Landscape);
    VRQHelperBtn::shared()->setFailedBlock([this](const VRQHelperBtn::Text&, const VRQHelperBtn::Text& code) {
        failures.push_back(code->utf8());
    });
    auto gameScreen = presentGameScreen();
    tapBallTwice();
    auto centre = ns::cast<TVSuspendVC>(gameScreen->presentedViewController());
    ASSERT_TRUE(centre);
    centre->loginOutBlock()();
    EXPECT_EQ(failures, (std::vector<std::string>{"-9"}));
    centre.reset();
    // The game answers the logout by closing its screen, centre and all.
    root->dismissViewController(false);
    env.fastForwardBy(1.0);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballWindow()->isHidden());
}

TEST_F(BallTapTest, ACentreCoveredByAFullScreenPageOfItsOwnBringsTheBallBackWhenTheGameTakesItDown) {
    use(Landscape);
    auto gameScreen = presentGameScreen();
    tapBallTwice();
    ns::Weak<TVSuspendVC> centre = ns::cast<TVSuspendVC>(gameScreen->presentedViewController());
    ASSERT_TRUE(centre.lock());
    auto page = std::make_shared<ui::ViewController>();
    page->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
    centre.lock()->presentViewController(page, false);
    env.fastForwardBy(1.0);
    EXPECT_TRUE(ballWindow()->isHidden()) << "the centre is still open under its page";
    page.reset();
    // The centre's view is off screen already: only its going tells.
    root->dismissViewController(false);
    env.fastForwardBy(1.0);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(centre.lock());
    EXPECT_FALSE(ballWindow()->isHidden());
}

TEST_F(ContainerTest, AScreenTheCentreShowsOverItselfIsNotTheCentreLeaving) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    for (auto style : {ui::ModalPresentationStyle::FullScreen, ui::ModalPresentationStyle::OverFullScreen}) {
        auto page = std::make_shared<ui::ViewController>();
        page->setModalPresentationStyle(style);
        centre->presentViewController(page, true);
        env.fastForwardBy(1.0);
        ASSERT_EQ(centre->presentedViewController(), page);
        page->dismissViewController(true);
        env.fastForwardBy(1.0);
        EXPECT_FALSE(centre->presentedViewController());
        EXPECT_EQ(root->presentedViewController(), centre);
        EXPECT_TRUE(ballWindow()->isHidden()) << "the centre is still open";
    }
    centre->goBackGameVC();
    env.fastForwardBy(1.0);
    EXPECT_FALSE(ballWindow()->isHidden());
}

TEST_F(BallTapTest, WithNoScreenToOpenTheCentreFromTheBallStays) {
    use(Landscape);
    // The game's root controller has lost its view from the window.
    root->view()->removeFromSuperview();
    tapBallTwice();
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(ballWindow()->isHidden());
    // The game's window hidden: only the ball's own is left, and it is no
    // place for the centre.
    window->setHidden(true);
    ASSERT_TRUE(ui::simulateTap(ballWindow()->center()));
    env.fastForwardBy(1.0);
    EXPECT_FALSE(ballWindow()->isHidden());
    auto ballRoot = ns::cast<ui::ViewController>(ballWindow()->rootViewController());
    EXPECT_FALSE(ballRoot->presentedViewController());
}

TEST(ImageTitleSpacing, InsetsByStyle) {
    auto button = ui::Button::make({0, 0, 60, 49});
    button->setTitle("首页", ui::ControlStateNormal);
    cg::Size label = button->titleLabel()->intrinsicContentSize();
    TVImageTitleSpacing::layoutButtonWithEdgeInsetsStyle(*button, TVImageTitleSpacing::ImageRight, 10);
    EXPECT_EQ(button->imageEdgeInsets().left, label.width + 5);
    EXPECT_EQ(button->titleEdgeInsets().right, button->imageView()->frame().size.width + 5);
    TVImageTitleSpacing::layoutButtonWithEdgeInsetsStyle(*button, TVImageTitleSpacing::ImageTop, 10);
    EXPECT_EQ(button->imageEdgeInsets().top, -label.height - 5);
    EXPECT_EQ(button->imageEdgeInsets().right, -label.width);
    TVImageTitleSpacing::layoutButtonWithEdgeInsetsStyle(*button, 7, 10);
    EXPECT_EQ(button->imageEdgeInsets(), cg::EdgeInsets{});
    EXPECT_EQ(button->titleEdgeInsets(), cg::EdgeInsets{});
}

}  // namespace
