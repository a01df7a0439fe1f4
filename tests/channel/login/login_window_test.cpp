// The login window end to end against the stand-in: the typed login and its
// hand-off to the game, the ball it brings out, automatic login from the
// saved state, the change button, failures and a logout's next form.

#include "channel/ShareVale.h"
#include "login_test_support.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/testing/LoopbackServer.h"

namespace {

using login_test::LoginTest;

TEST_F(LoginTest, ATypedLoginReachesTheGameWithTheChosenSubAccount) {
    open();
    auto c = card();
    ASSERT_TRUE(c);
    EXPECT_EQ(c->UsingStyle(), 0);
    EXPECT_EQ(c->frame().size.height, TVLoginView::kFormHeight);
    auto window = controller()->keyWindow();
    ASSERT_TRUE(window);
    EXPECT_FALSE(window->isHidden());
    EXPECT_FALSE(window->isKeyWindow());
    EXPECT_EQ(window->backgroundColor(), cg::Color::black().withAlpha(0.5));
    EXPECT_EQ(c->transform(), cg::AffineTransform::identity());

    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    EXPECT_EQ(c->UsingStyle(), 3);
    EXPECT_EQ(login_test::textOr(c->tishiTitle.lock()->text()), "player1, 欢迎回来");
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 1u);
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), "player1");

    // The welcome lasts 1.5 s before the notice is asked for.
    env.fastForwardBy(1.4);
    EXPECT_FALSE(driver.findOfType<TVNoticeVC>() || driver.findByText("关闭"));
    env.fastForwardBy(0.2);
    EXPECT_TRUE(driver.findByText("欢迎来到沙盒"));
    EXPECT_TRUE(c->isHidden());
    finishHandOff();

    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_EQ(game.successes[0], "1704067200|player1_1|sign-player1-1|1");
    EXPECT_TRUE(game.failures.empty());
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->subUserName()), "player1_1");
    EXPECT_EQ(ns::UserDefaults::standardUserDefaults()->integerForKey("TV_LoginStyle"), 1);
    EXPECT_TRUE(log.contains("screen: toast: 登录成功"));
    // The window has gone and the ball stands at its place.
    EXPECT_TRUE(window->isHidden());
    window.reset();
    env.runUntilIdle();
    EXPECT_FALSE(card());
    auto ball = ballWindow();
    ASSERT_TRUE(ball);
    EXPECT_FALSE(ball->isHidden());
    double W = ui::Screen::mainScreen()->bounds().size.width;
    EXPECT_EQ(ball->frame(), (cg::Rect{W - 30, 100, 60, 60}));
    EXPECT_TRUE(log.contains("loginVC已销毁"));

    // A second opening hides the ball until the next login.
    open();
    EXPECT_TRUE(ball->isHidden());
}

TEST_F(LoginTest, TheSavedLoginLogsInWithoutATap) {
    ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    ShareVale::sharedInstance()->setPassWord(ns::str(sandbox::ChannelServer::kKnownPassword));
    ShareVale::sharedInstance()->setLoginStyle(1);
    open();
    EXPECT_EQ(card()->UsingStyle(), 3);
    EXPECT_EQ(login_test::textOr(card()->loginName.lock()->text()), "player1");
    env.fastForwardBy(1.5);
    finishHandOff();
    EXPECT_EQ(game.successes.size(), 1u);
}

TEST_F(LoginTest, ARefusedSavedLoginGoesToTheGameAndLeavesTheFilledForm) {
    ShareVale::sharedInstance()->setUserName(ns::str(sandbox::ChannelServer::kKnownUser));
    ShareVale::sharedInstance()->setPassWord(ns::str("changed1"));
    ShareVale::sharedInstance()->setLoginStyle(1);
    open();
    env.fastForwardBy(2.0);
    auto c = card();
    ASSERT_TRUE(c);
    EXPECT_EQ(posts("login/dologin"), 1u);
    EXPECT_EQ(c->UsingStyle(), 0);
    EXPECT_EQ(login_test::textOr(c->loginName.lock()->text()), "player1");
    EXPECT_EQ(login_test::textOr(c->loginPwd.lock()->text()), "changed1");
    EXPECT_TRUE(log.contains("screen: toast: 用户名或密码错误"));
    EXPECT_EQ(game.failures, (std::vector<std::string>{"0|用户名或密码错误"}));
    EXPECT_TRUE(game.successes.empty());
    EXPECT_FALSE(controller()->keyWindow()->isHidden());
    EXPECT_EQ(posts("Sdkmsg/indexios"), 0u);
}

// The saved real-name flag is the login reply's "isck" while the hand-off
// runs and its "nrz" once the game has the login: a minor's differ.
TEST_F(LoginTest, TheHandOffSavesTheRealNameStatusTheGameReceives) {
    open();
    login(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword);
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->isRz()), "1");
    env.fastForwardBy(1.5);
    finishHandOff();
    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_EQ(game.successes[0], "1704067200|minor1_1|sign-minor1-1|2");
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->isRz()), "2");
}

TEST_F(LoginTest, TheWaitingRingFillsAContainerCentredOnTheCard) {
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    auto c = card();
    for (int mode : {3, 4}) {
        c->setUsingStyle(mode);
        c->layoutIfNeeded();
        auto ring = c->dp.lock();
        ASSERT_TRUE(ring);
        EXPECT_EQ(ring->superview(), c->progressView.lock());
        EXPECT_EQ(ring->frame(), (cg::Rect{0, 0, 144, 85})) << "mode " << mode;
        cg::Point centre = ring->convertPointToView({72, 42.5}, c.get());
        EXPECT_EQ(centre.x, c->bounds().size.width / 2) << "mode " << mode;
        EXPECT_EQ(centre.y, 30 + 85.0 / 2) << "under the welcome line";
    }
    c->changeBtn();
}

TEST_F(LoginTest, ALoggedOutPlayerSeesTheSavedNameUnlessItIsAThirdPartyOne) {
    ShareVale::sharedInstance()->setLoginStyle(2);
    ShareVale::sharedInstance()->setUserName(ns::str("player1"));
    open();
    EXPECT_EQ(login_test::textOr(card()->loginName.lock()->text()), "player1");
    EXPECT_EQ(card()->UsingStyle(), 0);
    controller()->goBackToPreviousWindow();
    env.fastForwardBy(1.0);

    ShareVale::sharedInstance()->setUserName(ns::str("qq_12345"));
    open();
    EXPECT_EQ(login_test::textOr(card()->loginName.lock()->text(), ""), "");
}

TEST_F(LoginTest, TheChangeButtonCancelsTheHandOffWithinTheWelcome) {
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.0);
    ASSERT_TRUE(driver.tap("切换账号"));
    EXPECT_EQ(card()->UsingStyle(), 0);
    env.fastForwardBy(5);
    EXPECT_FALSE(driver.findByText("关闭"));
    EXPECT_FALSE(findSubScreen());
    EXPECT_TRUE(game.successes.empty());
    // The saved state keeps the login.
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 1u);
}

TEST_F(LoginTest, LoggingOutOnTheSubAccountScreenBringsTheFormBack) {
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(2.0);
    ASSERT_TRUE(driver.tap("关闭"));
    env.fastForwardBy(1.0);
    ASSERT_TRUE(findSubScreen());
    ASSERT_TRUE(driver.tap("退出登录"));
    env.fastForwardBy(1.0);
    EXPECT_FALSE(findSubScreen());
    auto c = card();
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->isHidden());
    EXPECT_EQ(c->UsingStyle(), 0);
    EXPECT_EQ(ShareVale::sharedInstance()->loginStyle(), 0u);
    EXPECT_TRUE(game.successes.empty());
    EXPECT_TRUE(game.failures.empty());
}

TEST_F(LoginTest, ARefusedLoginGoesToTheGameAndTheWindowStays) {
    open();
    login(sandbox::ChannelServer::kKnownUser, "wrong1");
    EXPECT_EQ(card()->UsingStyle(), 0);
    EXPECT_TRUE(log.contains("screen: toast: 用户名或密码错误"));
    EXPECT_EQ(game.failures, (std::vector<std::string>{"0|用户名或密码错误"}));
    EXPECT_FALSE(controller()->keyWindow()->isHidden());
}

TEST_F(LoginTest, AnUnreachableServerGivesFiveHundredOneAndTheFormBack) {
    pointAtClosedServer();
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.0);
    EXPECT_EQ(card()->UsingStyle(), 0);
    EXPECT_EQ(game.failures, (std::vector<std::string>{"501|无法连接服务器"}));
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
}

TEST_F(LoginTest, AServerErrorPageEndsAsAnUnreachableServer) {
    // The login is answered with what is not the channel's format.
    testing::LoopbackServer other;
    other.route("POST", "/sdkapicoupon/login/dologin",
                testing::Reply::withStatus(500, "<html>Internal Server Error</html>"));
    ::setenv("GAMEHOST_CHANNEL_API_URL", (other.baseURL() + "/sdkapicoupon/").c_str(), 1);
    open();
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.0);
    // The form comes back with the text the player reads when the server
    // cannot be reached, and the game hears the same.
    EXPECT_EQ(card()->UsingStyle(), 0);
    EXPECT_EQ(game.failures, (std::vector<std::string>{"501|无法连接服务器"}));
    EXPECT_TRUE(log.contains("screen: toast: 无法连接服务器"));
    EXPECT_TRUE(game.successes.empty());
}

}  // namespace
