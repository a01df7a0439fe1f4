// The login card's forms: the checks and their texts in order, the SMS
// count-down, the saved-account drop-down, registration and the real-name
// prompt of a new account.

#include "channel/ShareVale.h"
#include "channel/screens/AccountTableView.h"
#include "login_test_support.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/UserDefaults.h"
#include "platform/uikit/AlertController.h"

namespace {

class LoginFormTest : public login_test::LoginTest {
protected:
    LoginFormTest() { open(); }

    // The toasts shown while `step` runs, in order.
    std::vector<std::string> toastsOf(const std::function<void()>& step) {
        log.clear();
        step();
        std::vector<std::string> toasts;
        for (const auto& line : log.lines())
            if (line.rfind("screen: toast: ", 0) == 0) toasts.push_back(line.substr(15));
        return toasts;
    }
    std::vector<std::string> submit() {
        return toastsOf([this] {
            auto c = card();
            auto button = c->UsingStyle() == 0 ? c->mainLoginBtn : c->mainRegisterBtn;
            tap(button);
            env.runUntilIdle();
        });
    }
    std::string sendTitle() { return login_test::textOr(card()->sendCodeBtn.lock()->currentTitle()); }
};

TEST_F(LoginFormTest, TheLoginFormChecksThePasswordFirst) {
    EXPECT_EQ(submit(), (std::vector<std::string>{"密码不能为空"}));
    type(card()->loginPwd, "x");
    EXPECT_EQ(submit(), (std::vector<std::string>{"用户名不能为空"}));
    EXPECT_EQ(posts("login/dologin"), 0u);
    EXPECT_EQ(card()->UsingStyle(), 0);
}

TEST_F(LoginFormTest, AccountRegistrationChecksLengthsThenTheAgreement) {
    tap("账号注册");
    auto c = card();
    EXPECT_EQ(c->UsingStyle(), 1);
    EXPECT_EQ(login_test::textOr(c->state.lock()->text()), "账号注册");
    EXPECT_EQ(login_test::textOr(c->registerName.lock()->placeholder()), "6-12位字母或数字");
    EXPECT_TRUE(c->iphoneCodeView.lock()->isHidden());
    type(c->registerpwd, "12345");
    EXPECT_EQ(submit(), (std::vector<std::string>{"密码不少于6位"}));
    type(c->registerpwd, "123456");
    type(c->registerName, "abcde");
    EXPECT_EQ(submit(), (std::vector<std::string>{"用户名不少于6位"}));
    type(c->registerName, "abcdef");
    EXPECT_EQ(submit(), (std::vector<std::string>{"请确认协议"}));
    EXPECT_EQ(posts("login/register"), 0u);
}

TEST_F(LoginFormTest, PhoneRegistrationChecksPasswordCodeNumberAgreement) {
    tap("手机注册");
    auto c = card();
    EXPECT_EQ(c->UsingStyle(), 2);
    EXPECT_EQ(login_test::textOr(c->registerName.lock()->placeholder()), "请输入手机号码");
    EXPECT_EQ(c->registerName.lock()->keyboardType(), ui::KeyboardType::NumberPad);
    EXPECT_FALSE(c->iphoneCodeView.lock()->isHidden());
    EXPECT_EQ(submit(), (std::vector<std::string>{"密码不少于6位"}));
    type(c->registerpwd, "123456");
    EXPECT_EQ(submit(), (std::vector<std::string>{"验证码不能为空"}));
    type(c->signCode, "1234");
    type(c->registerName, "1380000000");
    EXPECT_EQ(submit(), (std::vector<std::string>{"手机号码位数不对"}));
    type(c->registerName, "138000000001");
    EXPECT_EQ(submit(), (std::vector<std::string>{"手机号码位数不对"}));
    type(c->registerName, "13800000000");
    EXPECT_EQ(submit(), (std::vector<std::string>{"请确认协议"}));
    EXPECT_EQ(posts("login/phoneRegister"), 0u);
}

TEST_F(LoginFormTest, TheSMSCountDownRunsThirtySecondsAndAModeChangeStopsIt) {
    tap("手机注册");
    auto c = card();
    type(c->registerName, "1380000000");
    EXPECT_EQ(toastsOf([&] { tap(c->sendCodeBtn); }), (std::vector<std::string>{"请填写正确的手机号"}));
    type(c->registerName, "13800000000");
    EXPECT_EQ(toastsOf([&] {
                  tap(c->sendCodeBtn);
                  env.runUntilIdle();
              }),
              (std::vector<std::string>{"验证码已发送"}));
    auto button = c->sendCodeBtn.lock();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(sendTitle(), "剩余30秒");
    std::vector<std::string> titles;
    for (int s = 1; s <= 29; ++s) {
        env.fastForwardBy(1);
        titles.push_back(sendTitle());
    }
    EXPECT_EQ(titles.front(), "剩余29秒");
    EXPECT_EQ(titles.back(), "剩余1秒");
    env.fastForwardBy(1);
    EXPECT_EQ(sendTitle(), "重新获取");
    EXPECT_TRUE(button->isEnabled());

    tap(c->sendCodeBtn);
    env.fastForwardBy(5);
    EXPECT_EQ(sendTitle(), "剩余25秒");
    tap(c->backLoginBtn);
    EXPECT_EQ(sendTitle(), "重新获取");
    env.fastForwardBy(5);
    EXPECT_EQ(sendTitle(), "重新获取");
}

TEST_F(LoginFormTest, AFailedCodeRequestGivesTheButtonBack) {
    tap("手机注册");
    auto c = card();
    type(c->registerName, "13800000000");
    pointAtClosedServer();
    tap(c->sendCodeBtn);
    env.fastForwardBy(1);
    EXPECT_TRUE(log.contains("screen: toast: 无法链接服务器"));
    EXPECT_EQ(sendTitle(), "获取验证码");
    EXPECT_TRUE(c->sendCodeBtn.lock()->isEnabled());
}

TEST_F(LoginFormTest, APickFromTheSavedAccountsFillsTheForm) {
    ns::UserDefaults::standardUserDefaults()->setObjectForKey(
        ns::Array::make({ns::Array::make({ns::str("older"), ns::str("pw-old")}),
                         ns::Array::make({ns::str("player1"), ns::str("pass123")})}),
        "TV_accounts");
    auto c = card();
    tap(c->accuntChange);
    auto list = c->tableView.lock();
    ASSERT_TRUE(list);
    EXPECT_EQ(list->frame(), (cg::Rect{18, 116, 264, 126}));
    EXPECT_TRUE(c->accuntChange.lock()->isSelected());
    ASSERT_TRUE(driver.selectRow(list, ui::IndexPath::forRow(1, 0)));  // newest first: "older" second
    EXPECT_EQ(login_test::textOr(c->loginName.lock()->text()), "older");
    EXPECT_EQ(login_test::textOr(c->loginPwd.lock()->text()), "pw-old");
    EXPECT_FALSE(list->superview());
    EXPECT_FALSE(c->accuntChange.lock()->isSelected());
}

TEST_F(LoginFormTest, TheEyeRevealsThePasswordOnItsFirstTap) {
    auto c = card();
    EXPECT_TRUE(c->loginPwd.lock()->isSecureTextEntry());
    tap(c->showOrHiddenBtn);
    EXPECT_FALSE(c->loginPwd.lock()->isSecureTextEntry());
    tap(c->showOrHiddenBtn);
    EXPECT_TRUE(c->loginPwd.lock()->isSecureTextEntry());
}

TEST_F(LoginFormTest, ANewAccountLogsInASecondLaterAndMeetsTheRealNamePrompt) {
    fillAccountRegistration("newbie1", "secret1");
    auto c = card();
    EXPECT_EQ(submit(), (std::vector<std::string>{"注册成功"}));
    EXPECT_EQ(posts("login/dologin"), 0u);
    env.fastForwardBy(0.9);
    EXPECT_EQ(posts("login/dologin"), 0u);
    env.fastForwardBy(0.1);
    EXPECT_EQ(posts("login/dologin"), 1u);
    EXPECT_EQ(c->UsingStyle(), 3);

    env.fastForwardBy(2.0);
    auto alert = driver.presentedAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(login_test::textOr(alert->title()), "提示");
    EXPECT_EQ(login_test::textOr(alert->message()), "根据国家相关规定，需要用户进行实名认证");
    EXPECT_EQ(posts("Sdkmsg/indexios"), 0u);  // the prompt comes before the notice
    ASSERT_TRUE(driver.answerAlert("确定"));
    env.fastForwardBy(0.5);
    auto form = c->viewWithTag(TVLoginView::kRealNameTag);
    ASSERT_TRUE(ns::cast<VRQRealNameView>(form));
    // Skipping the check goes on to the notice and the sub-accounts.
    tap("暂不认证");
    env.fastForwardBy(0.5);
    EXPECT_EQ(posts("Sdkmsg/indexios"), 1u);
    finishHandOff();
    EXPECT_FALSE(c->viewWithTag(TVLoginView::kRealNameTag));
    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_EQ(game.successes[0], "1704067200|newbie1_1|sign-newbie1-1|0");
}

TEST_F(LoginFormTest, PhoneRegistrationWithTheTextedCodeLogsTheNewPlayerIn) {
    tap("手机注册");
    auto c = card();
    type(c->registerName, "13900000000");
    tap(c->sendCodeBtn);
    env.runUntilIdle();
    std::string code = server.smsCodeFor("13900000000");
    ASSERT_FALSE(code.empty());
    type(c->signCode, code);
    type(c->registerpwd, "secret1");
    tap(c->selectBtn);
    EXPECT_EQ(submit(), (std::vector<std::string>{"注册成功"}));
    EXPECT_EQ(posts("login/phoneRegister"), 1u);
    EXPECT_EQ(c->UsingStyle(), 4);
    EXPECT_EQ(sendTitle(), "重新获取") << "the count-down stopped with the mode";

    env.fastForwardBy(1.0);
    EXPECT_EQ(posts("login/dologin"), 1u);
    EXPECT_EQ(c->UsingStyle(), 3);
    EXPECT_EQ(login_test::textOr(c->tishiTitle.lock()->text()), "13900000000, 欢迎回来");
    EXPECT_EQ(login_test::textOr(ShareVale::sharedInstance()->userName()), "13900000000");

    // A new account meets the real-name prompt; skipped, the hand-off goes on.
    env.fastForwardBy(2.0);
    ASSERT_TRUE(driver.answerAlert("确定"));
    env.fastForwardBy(0.5);
    tap("暂不认证");
    env.fastForwardBy(0.5);
    finishHandOff();
    ASSERT_EQ(game.successes.size(), 1u);
    EXPECT_EQ(game.successes[0], "1704067200|13900000000_1|sign-13900000000-1|0");
    EXPECT_TRUE(game.failures.empty());
}

TEST_F(LoginFormTest, ATakenNameFailsTheRegistrationWithMinusEight) {
    fillAccountRegistration("player1", "secret1");
    auto c = card();
    EXPECT_EQ(submit(), (std::vector<std::string>{"用户名已存在"}));
    EXPECT_EQ(c->UsingStyle(), 1);
    EXPECT_EQ(game.failures, (std::vector<std::string>{"-8|用户名已存在"}));
}

}  // namespace
