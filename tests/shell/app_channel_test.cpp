// The app with its real channel SDK against the sandbox, page to page: the
// page's login opens the channel's login window, a player types and taps,
// the page hears loginNotify; the ball comes out; the page's two orders are
// paid in the payment centre, with coins and on a web pay page, each to
// payNotify "1"; the road's logout reaches the channel server; a saved login
// logs in by itself at the next start; switch account in the user centre logs
// the game out.

#include "app_test_support.h"

#include "channel/ShareVale.h"
#include "channel/VRQWindowManager.h"
#include "channel/login/TVAlterLoginVC.h"
#include "channel/login/TVLoginView.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayNoticeView.h"
#include "channel/pay/TVWebPayVC.h"
#include "channel/screens/VRQSubNameVC.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/TouchSimulation.h"
#include "sandbox/ChannelServer.h"
#include "tests/channel/ball_test_support.h"

using apptest::str;

namespace {

class ChannelRoadTest : public apptest::AppTest {
protected:
    ChannelRoadTest() {
        // The app's own channel, not the fake.
        KVTRChannelSDK::setShared(nullptr);
        ShareVale::distroyInstance();
        ::setenv("GAMEHOST_CHANNEL_API_URL", channelServer.base().c_str(), 1);
    }
    ~ChannelRoadTest() override { ShareVale::distroyInstance(); }

    ns::Ref<TVLoginView> card() { return driver.findOfType<TVLoginView>(); }
    int channelRequests(const std::string& endpoint) const {
        return requestsTo(channelServer.http(), "/sdkapicoupon/" + endpoint);
    }
    // The notice is closed and the first sub-account taken, as a player does.
    void chooseSubAccount() {
        ASSERT_TRUE(settle([&] { return driver.findByText("关闭") != nullptr; }, 10));
        env.fastForwardBy(0.5);
        ASSERT_TRUE(driver.tap("关闭"));
        VRQSubNameVC* chooser = nullptr;
        ASSERT_TRUE(settle([&] {
            auto view = driver.find([](ui::View& v) { return ns::cast<VRQSubNameVC>(v.owningController()) != nullptr; });
            chooser = view ? ns::cast<VRQSubNameVC>(view->owningController()).get() : nullptr;
            return chooser && chooser->tableView.lock() && chooser->tableView.lock()->numberOfRowsInSection(0) > 0;
        }, 10));
        env.fastForwardBy(0.5);
        ASSERT_TRUE(driver.selectRow(chooser->tableView.lock(), ui::IndexPath::forRow(0, 0)));
    }

    // The payment centre on screen with its pay ways loaded, ready for an
    // order (not one that has closed and is still leaving).
    ns::Ref<TVNewPayVC> readyCentre() {
        auto view = driver.find([](ui::View& v) {
            auto centre = ns::cast<TVNewPayVC>(v.owningController());
            auto navigation = centre ? centre->navigationController() : nullptr;
            return navigation && !navigation->isBeingDismissed() && centre->payBtn.lock()->isEnabled();
        });
        auto centre = view ? ns::cast<TVNewPayVC>(view->owningController()) : nullptr;
        return centre && !centre->hud() && centre->payStyle() != 0 && !centre->isBeingPresented() ? centre : nullptr;
    }

    sandbox::ChannelServer channelServer;
};

TEST_F(ChannelRoadTest, ThePagesLoginGoesThroughTheChannelsWindowToLoginNotify) {
    launch();
    ASSERT_TRUE(settle([&] { return card() != nullptr; }));
    recordPageCallbacks();
    auto c = card();
    EXPECT_EQ(c->UsingStyle(), 0);
    EXPECT_EQ(apptest::str(c->loginName.lock()->text()), "");
    ASSERT_TRUE(driver.typeText(c->loginName.lock(), sandbox::ChannelServer::kKnownUser));
    ASSERT_TRUE(driver.typeText(c->loginPwd.lock(), sandbox::ChannelServer::kKnownPassword));
    c->loginPwd.lock()->resignFirstResponder();
    ASSERT_TRUE(driver.tap(c->mainLoginBtn.lock()));
    chooseSubAccount();
    ASSERT_TRUE(settle([&] { return lastPageCallback("loginNotify") != nullptr; }));

    auto data = ns::cast<ns::Dictionary>(lastPageCallback("loginNotify")->objectForKey("data"));
    ASSERT_TRUE(data);
    EXPECT_FALSE(str(data->objectForKey("super_user_id")).empty());
    EXPECT_FALSE(str(data->objectForKey("token")).empty());
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->integerForKey("TV_LoginStyle"), 1);
    ASSERT_TRUE(ballWindow());
    double W = ui::Screen::mainScreen()->bounds().size.width;
    EXPECT_EQ(ballWindow()->frame(), (cg::Rect{W - 30, 100, 60, 60}));

    // The sample page goes on: role report, and its order in the payment
    // centre, with the ball away. Paid with coins.
    ns::Ref<TVNewPayVC> centre;
    // Taps reach it once the login window has faded away.
    ASSERT_TRUE(settle([&] { return (centre = readyCentre()) && driver.tap(centre->ptbIconBtn.lock()); }));
    EXPECT_TRUE(ballWindow()->isHidden());
    EXPECT_EQ(centre->realMoneyL.lock()->text()->utf8(), "60平台币");
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    ASSERT_TRUE(settle([&] { return log.contains("page: callback payNotify {\"status\":\"1\""); }));
    EXPECT_EQ(channelServer.coinsOf(sandbox::ChannelServer::kKnownUser), sandbox::ChannelServer::kKnownCoins - 60);

    // The second order on the wallet's web pay page, back by its button,
    // confirmed by the poll.
    centre = nullptr;
    ASSERT_TRUE(settle([&] { return (centre = readyCentre()) != nullptr; }));
    ASSERT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    ns::Ref<TVWebPayVC> page;
    ASSERT_TRUE(settle([&] {
        auto view = driver.find([](ui::View& v) { return ns::cast<TVWebPayVC>(v.owningController()) != nullptr; });
        page = view ? ns::cast<TVWebPayVC>(view->owningController()) : nullptr;
        return page && !page->avi()->isAnimating();
    }));
    page->popAction();
    ASSERT_TRUE(settle([&] {
        auto status = centre->noticeView()->statusL.lock();
        return status->text() && status->text()->utf8() == "支付成功";
    }));
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));

    // Then the stores and logout. The logout reloads the page, so its
    // callbacks are read from the log.
    ASSERT_TRUE(settle([&] { return log.contains("page: callback clientlogout"); }, 60));
    EXPECT_EQ(channelRequests("User/setRole"), 1);
    EXPECT_EQ(channelRequests("Pay/getUserSuccess"), 1);
    size_t paid = 0;
    for (const auto& line : log.lines()) paid += line.find("page: callback payNotify {\"status\":\"1\"") != std::string::npos;
    EXPECT_EQ(paid, 2u);
    EXPECT_EQ(channelRequests("login/logout"), 1);
    EXPECT_TRUE(ballWindow()->isHidden());

    // The reloaded page logs in again: the form opens, and the logout's reply
    // clears the saved name. (The form reads the name when it opens, so which
    // of the two comes first decides what it shows: the page's reload and the
    // logout's reply race over the network.)
    ASSERT_TRUE(settle([&] { return card() != nullptr && log.contains("screen: toast: 退出成功"); }));
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 2u);
    EXPECT_EQ(apptest::str(ShareVale::sharedInstance()->userName()), "");
}

TEST_F(ChannelRoadTest, ASavedLoginIsSentAtTheNextStartWithoutATap) {
    // As the last run left it.
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    vale->setPassWord(ns::str(sandbox::ChannelServer::kKnownPassword));
    vale->setLoginStyle(1);
    launch();
    ASSERT_TRUE(settle([&] { return channelRequests("login/dologin") == 1; }));
    recordPageCallbacks();
    chooseSubAccount();
    ASSERT_TRUE(settle([&] { return lastPageCallback("loginNotify") != nullptr; }));
}

TEST_F(ChannelRoadTest, SwitchAccountInTheUserCentreLogsTheGameOutAndKeepsTheBallHidden) {
    // No avatar: a picture load leaves the web-image loader with timers
    // that never end, and the app tests' teardown runs until no task remains.
    channelServer.userCentre().setAvatar(false);
    auto vale = ShareVale::sharedInstance();
    vale->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    vale->setPassWord(ns::str(sandbox::ChannelServer::kKnownPassword));
    vale->setLoginStyle(1);
    launch();
    recordPageCallbacks();
    chooseSubAccount();
    ASSERT_TRUE(settle([&] { return lastPageCallback("loginNotify") != nullptr; }));
    // The page's first order is paid with coins; the player closes the
    // payment centre of its second, which gives the ball back.
    ns::Ref<TVNewPayVC> pay;
    ASSERT_TRUE(settle([&] { return (pay = readyCentre()) && driver.tap(pay->ptbIconBtn.lock()); }));
    ASSERT_TRUE(driver.tap(pay->payBtn.lock()));
    ASSERT_TRUE(settle([&] { return log.contains("page: callback payNotify {\"status\":\"1\""); }));
    ns::Ref<TVNewPayVC> second;
    ASSERT_TRUE(settle([&] { return (second = readyCentre()) != nullptr && second != pay; }));
    second->popAction();
    env.fastForwardBy(ui::ViewController::TransitionDuration);
    // Once the login window has gone, the ball: into view, then the centre.
    ASSERT_TRUE(settle([&] {
        return !driver.find([](ui::View& v) { return ns::cast<TVAlterLoginVC>(v.owningController()) != nullptr; });
    }));
    for (int tap = 0; tap < 2; ++tap) {
        ASSERT_TRUE(ui::simulateTap(ballWindow()->center()));
        env.fastForwardBy(0.2);
    }
    ns::Ref<TVSuspendVC> centre;
    ASSERT_TRUE(settle([&] {
        auto view = driver.find([](ui::View& v) { return ns::cast<TVSuspendVC>(v.owningController()) != nullptr; });
        centre = view ? ns::cast<TVSuspendVC>(view->owningController()) : nullptr;
        return centre && driver.findByText("切换账号");
    }));
    EXPECT_TRUE(ballWindow()->isHidden());
    ASSERT_TRUE(driver.tap("切换账号"));
    ASSERT_TRUE(settle([&] { return log.contains("page: callback clientlogout"); }));
    // The game's logout only: the channel server hears of none.
    EXPECT_EQ(channelRequests("login/logout"), 0);
    env.fastForwardBy(1.0);
    EXPECT_FALSE(centre->view()->window());
    EXPECT_TRUE(ballWindow()->isHidden());
    // The reloaded page logs in again with the saved account.
    chooseSubAccount();
    ASSERT_TRUE(settle([&] {
        size_t notices = 0;
        for (const auto& line : log.lines()) notices += line.find("page: callback loginNotify") != std::string::npos;
        return notices == 2;
    }));
}

}  // namespace
