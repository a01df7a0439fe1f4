// A login card answers only for the login it waits for: a reply the player
// has left behind (the change button, a login as another account) is
// dropped, saved nowhere and heard of by no one. And the game gets one
// login window at a time, however often it asks.

#include "channel/ShareVale.h"
#include "login_test_support.h"

namespace {

class LoginCardOwnershipTest : public login_test::LoginTest {
protected:
    // Logs in as `name` from the form while the stand-in holds every login
    // reply back 3 s; returns once the request (the `nth` so far) has
    // reached it. Nothing here waits for the reply.
    void loginHeldBack(const std::string& name, const std::string& password, int nth) {
        server.delays().setDelay("login/dologin", 3);
        auto c = card();
        ASSERT_TRUE(c);
        type(c->loginName, name);
        type(c->loginPwd, password);
        env.runReadyWhileInFlight();
        ASSERT_TRUE(driver.tap(c->mainLoginBtn.lock()));
        ASSERT_TRUE(server.delays().waitForRequests("login/dologin", nth, 10));
        env.runReadyWhileInFlight();
        ASSERT_EQ(c->UsingStyle(), 3);
    }
    void change() {
        ASSERT_TRUE(driver.tap("切换账号"));
        env.runReadyWhileInFlight();
        ASSERT_TRUE(card());
        ASSERT_EQ(card()->UsingStyle(), 0);
    }
    // The held replies come.
    void releaseReplies() {
        env.advanceClockWhileInFlight(3);
        env.runUntilIdle();
    }
    size_t loginCards() { return driver.findAllByClassName("TVLoginView").size(); }
};

TEST_F(LoginCardOwnershipTest, AReplyAfterTheChangeButtonIsDropped) {
    open();
    loginHeldBack(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword, 1);
    change();
    releaseReplies();
    env.fastForwardBy(5);
    EXPECT_TRUE(log.contains("login: the reply for player1 came after the card stopped waiting for it; dropped"));
    ASSERT_TRUE(card()) << "the form stays";
    EXPECT_EQ(card()->UsingStyle(), 0);
    EXPECT_FALSE(ShareVale::sharedInstance()->userName()) << "the account left behind is not saved";
    EXPECT_NE(ShareVale::sharedInstance()->loginStyle(), 1u);
    EXPECT_EQ(posts("Sdkmsg/indexios"), 0u) << "no hand-off";
    EXPECT_FALSE(findSubScreen());
    EXPECT_TRUE(game.successes.empty());
    EXPECT_TRUE(game.failures.empty());
}

TEST_F(LoginCardOwnershipTest, TheAccountLoggedInAfterTheChangeIsTheOnlyOneHandedOff) {
    open();
    loginHeldBack(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword, 1);
    change();
    loginHeldBack(sandbox::ChannelServer::kMinorUser, sandbox::ChannelServer::kMinorPassword, 2);
    // Both replies come, in whatever order.
    releaseReplies();
    EXPECT_TRUE(log.contains("login: the reply for player1 came after the card stopped waiting for it; dropped"));
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), "minor1");
    env.fastForwardBy(1.6);
    finishHandOff();
    EXPECT_EQ(posts("Sdkmsg/indexios"), 1u);
    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_NE(game.successes[0].find("|minor1_"), std::string::npos) << game.successes[0];
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), "minor1");
}

TEST_F(LoginCardOwnershipTest, TheFormSaysOnTheScreenThatItIsShowing) {
    open();
    EXPECT_TRUE(log.contains("screen: login card: 账号登录 | {请输入账号} {请输入密码} [登录]"));
}

TEST_F(LoginCardOwnershipTest, TheGamesSecondLoginWhileAWindowIsUpOpensNone) {
    open();
    open();
    EXPECT_TRUE(log.contains("login: a login window is already up; this call opens none"));
    EXPECT_EQ(loginCards(), 1u);
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.6);
    finishHandOff();
    EXPECT_EQ(game.successes.size(), 1u);
    env.fastForwardBy(1);
    EXPECT_EQ(loginCards(), 0u) << "no form stays after the login";
    EXPECT_TRUE(ballShown());

    // That login over, the next call opens a window again.
    open();
    EXPECT_EQ(loginCards(), 1u);
    EXPECT_FALSE(ballShown());
}

TEST_F(LoginCardOwnershipTest, AWindowLeftOpenByAFailureIsTheOneTheNextCallFinds) {
    open();
    login(sandbox::ChannelServer::kKnownUser, "wrong1");
    EXPECT_EQ(game.failures.size(), 1u);
    // The game asks again on the failure: the form already up takes the retry.
    open();
    EXPECT_EQ(loginCards(), 1u);
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.6);
    finishHandOff();
    EXPECT_EQ(game.successes.size(), 1u);
}

}  // namespace
