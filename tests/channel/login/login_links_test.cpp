// The login card's two links: each pushes its web page on the login window's
// navigation, and back brings the card again with its form as it was and
// without the bar.

#include "channel/screens/TVWebPages.h"
#include "login_test_support.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/BarButtonItem.h"
#include "platform/uikit/NavigationController.h"
#include "platform/uikit/NavigationItem.h"

namespace {

class LoginLinksTest : public login_test::LoginTest {
protected:
    LoginLinksTest() {
        open();
        navigation = controller()->navigationController();
    }
    template <class T>
    ns::Ref<T> top() {
        return ns::cast<T>(navigation->topViewController());
    }
    static std::string address(const ns::Ref<web::LegacyWebView>& view) {
        auto request = view ? view->request() : nullptr;
        return request && request->URL() ? request->URL()->absoluteString()->utf8() : "";
    }
    static ns::Ref<ui::Button> backButton(TVBaseVC& page) {
        auto item = page.navigationItem()->leftBarButtonItem();
        if (!item || !item->customView() || item->customView()->subviews().empty()) return nullptr;
        return ns::cast<ui::Button>(item->customView()->subviews().front());
    }
    // The page's back button, then the card on screen again under a hidden bar.
    void goBack(TVBaseVC& page, const ns::Ref<TVLoginView>& c) {
        ASSERT_TRUE(driver.tap(backButton(page)));
        env.fastForwardBy(1);
        EXPECT_EQ(navigation->viewControllers().size(), 1u);
        EXPECT_EQ(driver.findOfType<TVLoginView>(), c);
        EXPECT_TRUE(navigation->isNavigationBarHidden());
    }

    ns::Ref<ui::NavigationController> navigation;
};

TEST_F(LoginLinksTest, TheAgreementLinkOpensTheAgreementAndBackKeepsTheRegistrationForm) {
    fillAccountRegistration("newbie1", "secret1");
    auto c = card();
    tap(c->protocalbtn);
    env.fastForwardBy(1);

    auto page = top<TVShowHTMLVC>();
    ASSERT_TRUE(page) << "the link pushes the agreement";
    EXPECT_EQ(navigation->viewControllers().size(), 2u);
    EXPECT_EQ(address(page->WebView.lock()), server.base() + "Agreement/xieyi");
    EXPECT_TRUE(driver.findByText("用户协议"));
    EXPECT_FALSE(navigation->isNavigationBarHidden());

    goBack(*page, c);
    EXPECT_EQ(c->UsingStyle(), 1);
    EXPECT_EQ(login_test::textOr(c->registerName.lock()->text()), "newbie1");
    EXPECT_EQ(login_test::textOr(c->registerpwd.lock()->text()), "secret1");
    EXPECT_TRUE(c->selectBtn.lock()->isSelected());
    EXPECT_EQ(posts("login/register"), 0u);
}

TEST_F(LoginLinksTest, TheForgottenPasswordLinkOpensTheOperatorsPageAndBackKeepsTheLoginForm) {
    auto c = card();
    type(c->loginName, "player1");
    tap(c->forgetPwdBtn);
    env.fastForwardBy(1);

    auto page = top<TVForgetPasswordVC>();
    ASSERT_TRUE(page) << "the link pushes the forgotten-password page";
    EXPECT_EQ(address(page->web.lock()), server.http().origin() + "/appview/User/forgetpwd");
    EXPECT_TRUE(driver.findByText("忘记密码"));
    EXPECT_FALSE(navigation->isNavigationBarHidden());

    goBack(*page, c);
    EXPECT_EQ(c->UsingStyle(), 0);
    EXPECT_EQ(login_test::textOr(c->loginName.lock()->text()), "player1");
    EXPECT_EQ(posts("login/dologin"), 0u);
    EXPECT_TRUE(game.failures.empty());
}

}  // namespace
