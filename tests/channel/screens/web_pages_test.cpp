// The agreement and forgotten-password pages against the stand-in: the
// addresses they load, the agreement's spinner, links followed, a failed
// load, and the forgotten-password page's back.

#include "channel/screens/TVBaseNav.h"
#include "channel/screens/TVWebPages.h"
#include "platform/foundation/URL.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/NavigationBar.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/uikit/Storyboard.h"
#include "platform/uikit/ScrollView.h"
#include "screens_test_support.h"

namespace {

using screens_test::ScreensTest;

class WebPagesTest : public ScreensTest {
protected:
    // The login window's navigation with a first screen, and the page
    // pushed on it from the storyboard.
    template <class T>
    ns::Ref<T> open(std::string_view scene) {
        nav = TVBaseNav::make(std::make_shared<TVBaseVC>());
        nav->setModalPresentationStyle(ui::ModalPresentationStyle::FullScreen);
        root->presentViewController(nav, false);
        env.runUntilIdle();
        auto page = ns::cast<T>(
            ui::Storyboard::storyboardWithName("TVUserShow")->instantiateViewControllerWithIdentifier(scene));
        nav->pushViewController(page, false);
        env.runUntilIdle();
        return page;
    }
    static std::string address(const ns::Ref<web::LegacyWebView>& view) {
        auto request = view ? view->request() : nullptr;
        return request && request->URL() ? request->URL()->absoluteString()->utf8() : "";
    }
    static std::string pageTitle(const ns::Ref<web::LegacyWebView>& view) {
        return view->stringByEvaluatingJavaScriptFromString("document.title")->utf8();
    }
    ns::Ref<TVBaseNav> nav;
};

TEST_F(WebPagesTest, TheAgreementLoadsUnderASpinnerThatStopsAndStays) {
    auto page = open<TVShowHTMLVC>("TVShowHTMLVC");
    auto webView = page->WebView.lock();
    ASSERT_TRUE(webView);
    EXPECT_FALSE(webView->scrollView()->bounces());
    EXPECT_EQ(address(webView), server.base() + "Agreement/xieyi");
    EXPECT_EQ(pageTitle(webView), "用户协议");

    auto indicator = ns::cast<ui::ActivityIndicatorView>(page->view()->viewWithTag(TVShowHTMLVC::kIndicatorTag));
    ASSERT_TRUE(indicator);
    EXPECT_FALSE(indicator->isAnimating()) << "stopped once the page has loaded";
    EXPECT_EQ(indicator->superview(), page->view()) << "and left in place";
    cg::Rect screen = ui::Screen::mainScreen()->bounds();
    EXPECT_EQ(indicator->frame(), (cg::Rect{screen.size.width / 2 - 50, screen.size.height / 2 - 80, 100, 100}));
    EXPECT_EQ(indicator->color(), (cg::Color{1, 0, 0, 1}));

    EXPECT_FALSE(nav->isNavigationBarHidden());
    auto titleView = page->navigationItem()->titleView();
    ASSERT_TRUE(titleView);
    EXPECT_EQ(titleView->tag(), TVBaseVC::kBarTitleViewTag);
    EXPECT_TRUE(driver.findByText("用户协议"));

    // Links are followed: the page's own link to the forgotten-password page.
    webView->stringByEvaluatingJavaScriptFromString("location.href = '/appview/User/forgetpwd'");
    env.runUntilIdle();
    EXPECT_EQ(pageTitle(webView), "忘记密码");
}

TEST_F(WebPagesTest, AFailedAgreementLoadStopsTheSpinnerAndLeavesThePageEmpty) {
    pointAtClosedServer();
    auto page = open<TVShowHTMLVC>("TVShowHTMLVC");
    auto indicator = ns::cast<ui::ActivityIndicatorView>(page->view()->viewWithTag(TVShowHTMLVC::kIndicatorTag));
    ASSERT_TRUE(indicator);
    EXPECT_FALSE(indicator->isAnimating());
    EXPECT_EQ(pageTitle(page->WebView.lock()), "");
    env.fastForwardBy(60);
    EXPECT_EQ(pageTitle(page->WebView.lock()), "") << "no retry";

    // Without any configured address nothing loads and nothing breaks.
    ::setenv("GAMEHOST_CHANNEL_API_URL", "", 1);
    page->loadurl("");
    int spinners = 0;
    for (auto& subview : page->view()->subviews()) {
        auto spinner = ns::cast<ui::ActivityIndicatorView>(subview);
        if (!spinner) continue;
        ++spinners;
        EXPECT_FALSE(spinner->isAnimating());
    }
    EXPECT_EQ(spinners, 2) << "one a load, each stopped";
}

TEST_F(WebPagesTest, TheForgottenPasswordPageLoadsItsAddressAndGoesBackWithoutAnimation) {
    auto page = open<TVForgetPasswordVC>("TVForgetPasswordVC");
    auto webView = page->web.lock();
    ASSERT_TRUE(webView);
    std::string origin = server.http().origin();
    EXPECT_EQ(address(webView), origin + "/appview/User/forgetpwd");
    EXPECT_EQ(pageTitle(webView), "忘记密码");
    EXPECT_FALSE(nav->isNavigationBarHidden());
    EXPECT_TRUE(driver.findByText("忘记密码"));

    nav->setNavigationBarHidden(true);
    page->popAction();
    env.runUntilIdle();
    EXPECT_EQ(nav->viewControllers().size(), 1u);
    EXPECT_FALSE(page->view()->window()) << "gone without waiting for an animation";
    EXPECT_EQ(root->presentedViewController(), nav) << "the navigation stays";
}

}  // namespace
