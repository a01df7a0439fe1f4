// The app with its real channel SDK against the sandbox, page to page: the
// page's login opens the channel's login window, a player types and taps,
// the page hears loginNotify; the ball comes out; the road's logout reaches
// the channel server; a saved login logs in by itself at the next start;
// switch account in the user centre logs the game out.

#include "app_test_support.h"

#include "channel/ShareVale.h"
#include "channel/VRQWindowManager.h"
#include "channel/login/TVAlterLoginVC.h"
#include "channel/login/TVLoginView.h"
#include "channel/screens/VRQSubNameVC.h"
#include "channel/usercenter/TVSuspendVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/TouchSimulation.h"
#include "sandbox/ChannelServer.h"

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
    ns::Ref<ui::Window> ballWindow() { return VRQWindowManager::windowForKey(VRQHelperBtn::shared()->md5Key()); }
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

    // The sample page goes on: role report, pay (refused until the payment
    // centre is built), the stores, logout.
    // The logout reloads the page, so its callbacks are read from the log.
    ASSERT_TRUE(settle([&] { return log.contains("page: callback clientlogout"); }, 60));
    EXPECT_EQ(channelRequests("User/setRole"), 1);
    EXPECT_TRUE(log.contains("page: callback payNotify {\"status\":\"2\""));
    EXPECT_EQ(channelRequests("login/logout"), 1);
    EXPECT_TRUE(ballWindow()->isHidden());

    // The reloaded page logs in again: the form opens with an empty name.
    ASSERT_TRUE(settle([&] { return card() != nullptr; }));
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 2u);
    EXPECT_EQ(apptest::str(card()->loginName.lock()->text()), "");
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
    // The page logs in again with the saved account and plays its road to
    // the end: this time the channel's own logout, and the form.
    chooseSubAccount();
    ASSERT_TRUE(settle([&] { return channelRequests("login/logout") == 1 && card() != nullptr; }, 60));
}

}  // namespace
