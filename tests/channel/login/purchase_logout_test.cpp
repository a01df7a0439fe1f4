// A logout ends the purchases still waiting for the payment centre: the
// game's logout and switching account in the user centre drop them
// unopened, and none of them is reported. The floating ball follows one
// rule through it all: shown to a logged-in player only, and never over a
// user centre.

#include "channel/ShareVale.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/VRQWindowManager.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "login_test_support.h"
#include "platform/uikit/NavigationController.h"

namespace {

class PurchaseLogoutTest : public login_test::LoginTest {
protected:
    PurchaseLogoutTest() {
        open();
        login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
        env.fastForwardBy(1.6);
        finishHandOff();
        env.fastForwardBy(2);
    }
    ~PurchaseLogoutTest() override { TVNewPayVC::orderState() = {}; }

    void pay(const std::string& money, const std::string& order) {
        ToviraSDK::loadToPayVCWithroleid(
            ns::str("10001"), ns::str(money), ns::str("1"), ns::str("Gems"), ns::str("Gems"), ns::str(order),
            [this, order](const ns::Ref<ns::String>&, const ns::Ref<ns::String>&) { heard.push_back(order + " paid"); },
            [this, order](const ns::Ref<ns::String>&, int64_t, const ns::Ref<ns::String>&) {
                heard.push_back(order + " failed");
            });
        env.fastForwardBy(1);
    }
    ns::Ref<TVNewPayVC> shownCentre() {
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
    // The first purchase's centre on screen, the second waiting behind it.
    ns::Ref<TVNewPayVC> openTwo() {
        pay("9.99", "cp1");
        auto first = shownCentre();
        pay("6", "cp2");
        return first;
    }
    // Closes the centre on screen; whether another opened after it.
    bool closeAndSeeWhetherAnotherOpens(const ns::Ref<TVNewPayVC>& centre) {
        centre->popAction();
        env.fastForwardBy(2);
        return root->presentedViewController() != nullptr;
    }

    std::vector<std::string> heard;
};

TEST_F(PurchaseLogoutTest, TheGamesLogoutDropsTheWaitingPurchase) {
    auto first = openTwo();
    ASSERT_TRUE(first);
    ToviraSDK::LoginOut();
    EXPECT_TRUE(log.contains("payment centre: logout; the waiting payment of 6 yuan (cp2) is dropped"));
    EXPECT_FALSE(closeAndSeeWhetherAnotherOpens(first));
    EXPECT_TRUE(heard.empty());
}

TEST_F(PurchaseLogoutTest, SwitchingAccountDropsTheWaitingPurchase) {
    auto first = openTwo();
    ASSERT_TRUE(first);
    auto switchAccount = VRQHelperBtn::shared()->FailedBlock();
    ASSERT_TRUE(switchAccount);
    switchAccount(ns::str("注销"), ns::str("-9"));
    EXPECT_EQ(game.failures, (std::vector<std::string>{"-9|注销"})) << "the game is logged out";
    EXPECT_TRUE(log.contains("payment centre: switch account; the waiting payment of 6 yuan (cp2) is dropped"));
    EXPECT_FALSE(closeAndSeeWhetherAnotherOpens(first));
    EXPECT_TRUE(heard.empty());
}

TEST_F(PurchaseLogoutTest, ALoginAsAnotherAccountDropsTheWaitingPurchaseAndTheSamePlayersKeepsIt) {
    auto first = openTwo();
    ASSERT_TRUE(first);
    // The game calls login again: the saved account logs in by itself.
    open();
    env.fastForwardBy(1.6);
    finishHandOff();
    env.fastForwardBy(2);
    ASSERT_EQ(game.successes.size(), 2u);
    EXPECT_FALSE(log.contains("is dropped")) << "the same player's session goes on";
    // Again, and the player taps 切换账号 and logs in as another account,
    // with no logout between.
    open();
    ASSERT_TRUE(driver.tap("切换账号"));
    login(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    env.fastForwardBy(1.6);
    finishHandOff();
    env.fastForwardBy(2);
    ASSERT_EQ(game.successes.size(), 3u);
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), sandbox::ChannelServer::kMinorUser);
    EXPECT_TRUE(
        log.contains("payment centre: login as another account; the waiting payment of 6 yuan (cp2) is dropped"));
    EXPECT_FALSE(closeAndSeeWhetherAnotherOpens(first)) << "nothing opens for the new account";
    EXPECT_TRUE(heard.empty());
}

// The game is told of the sub-account: the saved login logs in by itself
// and the player picks another sub-account of the same account.
TEST_F(PurchaseLogoutTest, ALoginThatPicksAnotherSubAccountDropsTheWaitingPurchase) {
    ASSERT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_1");
    auto first = openTwo();
    ASSERT_TRUE(first);
    open();
    env.fastForwardBy(1.6);
    finishHandOff(1);
    env.fastForwardBy(2);
    ASSERT_EQ(game.successes.size(), 2u);
    ASSERT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_2");
    EXPECT_TRUE(
        log.contains("payment centre: login as another account; the waiting payment of 6 yuan (cp2) is dropped"));
    EXPECT_FALSE(closeAndSeeWhetherAnotherOpens(first)) << "nothing opens for the other sub-account";
    EXPECT_TRUE(heard.empty());
}

// The player switches to another sub-account with a centre up, the game
// enters a purchase for it, and the player switches back: the login matches
// the centre's sub-account but not the waiting call's, which is dropped.
TEST_F(PurchaseLogoutTest, ALoginBackToTheCentresSubAccountDropsACallMadeForAnother) {
    pay("9.99", "cp1");
    auto first = shownCentre();
    ASSERT_TRUE(first);
    for (int subAccount : {1, 0}) {
        open();
        env.fastForwardBy(1.6);
        finishHandOff(subAccount);
        env.fastForwardBy(2);
        if (subAccount == 1) {
            ASSERT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_2");
            pay("6", "cp2");
        }
    }
    ASSERT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_1");
    EXPECT_TRUE(
        log.contains("payment centre: login as another account; the waiting payment of 6 yuan (cp2) is dropped"));
    EXPECT_FALSE(closeAndSeeWhetherAnotherOpens(first)) << "nothing opens for the sub-account left";
    EXPECT_TRUE(heard.empty());
}

TEST_F(PurchaseLogoutTest, ACentreLeftOpenAtTheLogoutKeepsTheBallHiddenWhenItCloses) {
    ASSERT_TRUE(ballShown());
    pay("6", "cp1");
    auto centre = shownCentre();
    ASSERT_TRUE(centre);
    EXPECT_FALSE(ballShown());
    ToviraSDK::LoginOut();
    centre->popAction();
    env.fastForwardBy(2);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(ballShown()) << "the player has logged out";
}

TEST_F(PurchaseLogoutTest, APaymentRefusedAfterTheLogoutLeavesTheBallHiddenForGood) {
    ToviraSDK::LoginOut();
    EXPECT_FALSE(ballShown());
    // The game takes its dialog down and at once shows another: the centre,
    // asked for meanwhile, finds the root presenting that one.
    root->presentViewController(std::make_shared<ui::ViewController>(), false);
    env.runUntilIdle();
    root->dismissViewController(true);
    root->presentViewController(std::make_shared<ui::ViewController>(), true);
    pay("6", "cp1");
    env.fastForwardBy(2);
    EXPECT_EQ(heard, (std::vector<std::string>{"cp1 failed"}));
    EXPECT_FALSE(ballShown()) << "the player has logged out";
    root->dismissViewController(false);
    env.fastForwardBy(2);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_FALSE(ballShown());
}

TEST_F(PurchaseLogoutTest, APaymentCentreClosedOverTheUserCentreLeavesTheBallHidden) {
    VRQHelperBtn::shared()->doShowHelperVC();
    env.fastForwardBy(1);
    auto userCentre = ns::cast<TVSuspendVC>(root->presentedViewController());
    ASSERT_TRUE(userCentre);
    EXPECT_FALSE(ballShown());
    pay("6", "cp1");
    auto navigation = ns::cast<ui::NavigationController>(userCentre->presentedViewController());
    ASSERT_TRUE(navigation);
    ns::cast<TVNewPayVC>(navigation->viewControllers().front())->popAction();
    env.fastForwardBy(2);
    EXPECT_EQ(root->presentedViewController(), userCentre);
    EXPECT_FALSE(userCentre->presentedViewController());
    EXPECT_FALSE(ballShown()) << "a tap would open a second user centre";

    userCentre->goBackGameVC();
    env.fastForwardBy(1);
    EXPECT_FALSE(root->presentedViewController());
    EXPECT_TRUE(ballShown());
}

}  // namespace
