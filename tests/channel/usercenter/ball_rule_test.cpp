// The floating ball's one rule, against its facts: it shows only to a
// logged-in player, with no payment centre and no user centre on screen (a
// user centre on its way out no longer counts). And the user centre's own
// close, which asks the rule as it begins to leave, shows nothing to a
// player who has logged out meanwhile.

#include <string>

#include "channel/NSString+URLEncode.h"
#include "platform/foundation/Bundle.h"
#include "platform/uikit/Storyboard.h"
#include "usercentre_test_support.h"

namespace {

class BallRuleTest : public usercentre_test::CentreTest {
protected:
    enum UserCentre { None, OnScreen, Leaving };

    // A user centre presented over the game, as the ball opens it.
    ns::Ref<TVSuspendVC> presentCentre() {
        auto board = ui::Storyboard::storyboardWithName("TVSuspendVC",
                                                        ns::Bundle::bundleWithPath(URLEncode::getBundlePath()));
        auto centre = ns::cast<TVSuspendVC>(board->instantiateViewControllerWithIdentifier("TVSuspendVC"));
        centre->setModalPresentationStyle(ui::ModalPresentationStyle::Custom);
        root->presentViewController(centre, true);
        env.fastForwardBy(1);
        return centre;
    }
};

TEST_F(BallRuleTest, WhatItShowsForEachOfItsFacts) {
    use(Landscape);
    struct Row {
        bool signedIn, paymentCentre;
        UserCentre userCentre;
        bool shows;
    };
    const Row rows[] = {
        {true, false, None, true},      {true, false, OnScreen, false},   {true, false, Leaving, true},
        {true, true, None, false},      {true, true, OnScreen, false},    {true, true, Leaving, false},
        {false, false, None, false},    {false, false, OnScreen, false},  {false, false, Leaving, false},
        {false, true, None, false},     {false, true, OnScreen, false},   {false, true, Leaving, false},
        // Back to a ball in view after rows that hid it.
        {true, false, None, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE("signed in " + std::to_string(row.signedIn) + ", payment centre " +
                     std::to_string(row.paymentCentre) + ", user centre " + std::to_string(row.userCentre));
        ns::Ref<TVSuspendVC> centre;
        if (row.userCentre != None) centre = presentCentre();
        if (row.userCentre == Leaving) {
            // Within the dismissal's 0.3 s.
            root->dismissViewController(true);
            env.fastForwardBy(0.1);
            ASSERT_TRUE(centre->isBeingDismissed());
        }
        ASSERT_EQ(VRQHelperBtn::isUserCentreOnScreen(), row.userCentre == OnScreen);
        // Each fact told asks the rule.
        VRQHelperBtn::setSignedIn(row.signedIn);
        VRQHelperBtn::setPaymentCentreOnScreen(row.paymentCentre);
        EXPECT_EQ(VRQHelperBtn::shows(), row.shows);
        EXPECT_EQ(ballShown(), row.shows);

        root->dismissViewController(false);
        env.fastForwardBy(1);
        ASSERT_FALSE(root->presentedViewController());
    }
}

TEST_F(BallRuleTest, TellingItsFactsMakesNoBall) {
    VRQHelperBtn::setPaymentCentreOnScreen(true);
    VRQHelperBtn::setPaymentCentreOnScreen(false);
    VRQHelperBtn::setSignedIn(false);
    EXPECT_FALSE(VRQHelperBtn::isSignedIn());
    EXPECT_FALSE(VRQHelperBtn::isPaymentCentreOnScreen());
    EXPECT_FALSE(VRQHelperBtn::isCreate());
    // A login gives the ball its window, in view.
    VRQHelperBtn::setSignedIn(true);
    EXPECT_TRUE(VRQHelperBtn::isCreate());
    EXPECT_TRUE(ballShown());
}

TEST_F(BallRuleTest, TheCentresOwnCloseBringsTheBallBackAsItBeginsToLeave) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    EXPECT_FALSE(ballShown());
    centre->goBackGameVC();
    env.fastForwardBy(0.1);
    ASSERT_TRUE(centre->isBeingDismissed());
    EXPECT_TRUE(ballShown());
    env.fastForwardBy(1);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballShown());
}

TEST_F(BallRuleTest, TheCentresOwnCloseShowsNoBallToAPlayerWhoLoggedOutMeanwhile) {
    use(Landscape);
    auto centre = open();
    ASSERT_TRUE(centre);
    // The game logs the player out while the centre is up.
    VRQHelperBtn::setSignedIn(false);
    centre->goBackGameVC();
    env.fastForwardBy(0.1);
    ASSERT_TRUE(centre->isBeingDismissed());
    EXPECT_FALSE(ballShown()) << "during the dismissal";
    env.fastForwardBy(1);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(ballShown());
}

}  // namespace
