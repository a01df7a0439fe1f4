// The payment centre's longer roads against the stand-in and the sandbox's
// wallet: a web payment confirmed by the 2 s poll, a poll that gives up, a
// poll stopped by closing, the wallet app's results through the plug.

#include <algorithm>

#include "channel/ShareVale.h"
#include "channel/UIView+Extension.h"
#include "channel/pay/TVWebPayVC.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/URLRequest.h"
#include "platform/uikit/NavigationItem.h"
#include "platform/webkit/LegacyWebView.h"
#include "pay_test_support.h"
#include "sandbox/QuipayWallet.h"

namespace {

using pay_test::PayTest;

using PayFlowsTest = PayTest;

TEST_F(PayFlowsTest, AWebPaymentIsConfirmedOnTheThirdPollAndTheCardReportsSuccess) {
    ns::LogCapture log;
    server.setStatusDelay(2);
    auto centre = open("6");
    ASSERT_TRUE(centre);
    auto page = payByWebPage(centre);
    ASSERT_TRUE(page);
    EXPECT_EQ(text(page->webView()->stringByEvaluatingJavaScriptFromString("document.title")), "收银台");
    EXPECT_FALSE(page->avi()->isAnimating()) << "the page has loaded";
    EXPECT_TRUE(server.isPaid("player1"));
    EXPECT_FALSE(centre->payBtn.lock()->isEnabled());
    EXPECT_EQ(polls(), 0) << "no poll while the player is on the page";

    // The player comes back to the app.
    ui::Application::sharedApplication()->simulateEnterBackground();
    ui::Application::sharedApplication()->simulateEnterForeground();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 1) << "the first poll at once";
    EXPECT_EQ(noticeShown(centre), "支付中...");
    EXPECT_TRUE(centre->payBtn.lock()->isEnabled());
    env.fastForwardBy(2);
    EXPECT_EQ(centre->navigationController()->viewControllers().size(), 1u) << "the page is popped";
    EXPECT_EQ(noticeShown(centre), "支付中...");
    env.fastForwardBy(2);
    EXPECT_EQ(polls(), 3);
    EXPECT_EQ(noticeShown(centre), "支付成功");
    EXPECT_TRUE(log.contains("screen: pay notice: 支付中..."));
    EXPECT_TRUE(log.contains("screen: pay notice: 支付成功"));
    EXPECT_FALSE(centre->isPolling());
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 3) << "confirmed: the poll has stopped";

    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 6"}));
    EXPECT_FALSE(root->presentedViewController());
}

TEST_F(PayFlowsTest, APollThatNeverConfirmsSendsThirtyOneRequestsAndTheCardReportsFailure) {
    auto centre = open("6");
    auto page = payByWebPage(centre);
    ASSERT_TRUE(page);
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    // Back by the page's own button.
    page->popAction();
    env.fastForwardBy(120);
    EXPECT_EQ(polls(), 31);
    EXPECT_FALSE(centre->isPolling());
    EXPECT_EQ(noticeShown(centre), "支付中...");
    ASSERT_TRUE(driver.tap(centre->noticeView()->goBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"failure 支付失败 1 6"}));
    // The companion app is not installed: its page opens instead.
    auto opened = ui::Application::sharedApplication()->openedURLs();
    ASSERT_FALSE(opened.empty());
    EXPECT_NE(text(opened.back()->absoluteString()).find("?ag="), std::string::npos);
}

TEST_F(PayFlowsTest, AConfirmationAfterThePollsLastTickStillCountsWhileTheCardWaits) {
    // Thirty "not yet"; the thirty-first request's confirmation comes back
    // 5 s late, after the poll has given up.
    server.setStatusDelay(30);
    auto centre = open("6");
    payByWebPage(centre)->popAction();
    env.fastForwardBy(58);
    ASSERT_EQ(polls(), 30);
    server.delays().setDelay("Pay/getUserSuccess", 5);
    env.advanceClockWhileInFlight(2);
    env.runReadyWhileInFlight();
    ASSERT_TRUE(server.delays().waitForRequests("Pay/getUserSuccess", 31, 10));
    env.advanceClockWhileInFlight(2);
    env.runReadyWhileInFlight();
    EXPECT_FALSE(centre->isPolling()) << "the poll has given up";
    EXPECT_EQ(noticeShown(centre), "支付中...");

    env.advanceClockWhileInFlight(3);
    env.runUntilIdle();
    EXPECT_EQ(noticeShown(centre), "支付成功");
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"success 支付成功 6"}));
}

TEST_F(PayFlowsTest, AConfirmationAfterThePlayerHasLeftTheCardChangesNothing) {
    ns::LogCapture log;
    auto centre = open("6");
    payByWebPage(centre)->popAction();
    server.delays().setDelay("Pay/getUserSuccess", 5);
    env.runReadyWhileInFlight();
    ASSERT_TRUE(server.delays().waitForRequests("Pay/getUserSuccess", 1, 10));
    ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
    env.advanceClockWhileInFlight(5);
    env.runUntilIdle();
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (pay_test::Heard{"failure 支付失败 1 6"}));
    EXPECT_FALSE(log.contains("screen: pay notice: 支付成功"));
    EXPECT_EQ(polls(), 1);
}

TEST_F(PayFlowsTest, TheWalletsWaysNameItInTheirRowsTheirLogAndThePayPage) {
    ns::LogCapture log;
    auto centre = open("6");
    ASSERT_TRUE(centre);
    // Each name lies under its row's selection button, which takes the tap.
    driver.tap("趣付APP支付");
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::GFQuipay);
    driver.tap("趣付支付");
    EXPECT_EQ(centre->payStyle(), TVNewPayVC::QuipayH5);
    auto lines = log.lines();
    EXPECT_NE(std::find(lines.begin(), lines.end(), "趣付APP"), lines.end());
    EXPECT_NE(std::find(lines.begin(), lines.end(), "趣付H5"), lines.end());
    auto page = payByWebPage(centre);
    ASSERT_TRUE(page);
    auto title = ns::cast<ui::Label>(page->navigationItem()->titleView());
    ASSERT_TRUE(title);
    EXPECT_EQ(text(title->text()), "趣付支付");
}

TEST_F(PayFlowsTest, ClosingOrDestroyingTheCentreStopsThePoll) {
    server.setReply("Pay/getUserSuccess", ns::Dictionary::make({{"z", ns::str("0")}}));
    auto centre = open("6");
    payByWebPage(centre)->popAction();
    env.fastForwardBy(3);
    EXPECT_EQ(polls(), 2);
    centre->popAction();
    EXPECT_FALSE(centre->isPolling());
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 2);

    // Closed, the purchase has reported: asked again, it sends nothing;
    // then the centre goes away with its cover.
    centre->loadTimer();
    env.runUntilIdle();
    EXPECT_EQ(polls(), 2);
    centre->coverView()->removeFromSuperview();
    ns::Weak<TVNewPayVC> weak = centre;
    centre.reset();
    env.fastForwardBy(1);
    EXPECT_FALSE(weak.lock()) << "nothing keeps the closed centre";
    env.fastForwardBy(10);
    EXPECT_EQ(polls(), 2);
}

TEST_F(PayFlowsTest, TheWalletsAnswersBecomeTheCardsTexts) {
    sandbox::QuipayWallet wallet;
    server.setReply("pay/getPayWayios",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({ns::Dictionary::make({{"z", ns::str("31")}})})}}));
    struct Case {
        const char* status;
        const char* text;
        int64_t code;
        const char* domain;
    };
    for (const Case& c : {Case{"9000", "充值成功", 0, ""}, Case{"6001", "取消充值", 6001, "支付失败,用户取消支付"},
                          Case{"4000", "充值失败", 4000, "支付失败"}}) {
        heard.clear();
        wallet.setStatus(c.status);
        auto centre = open("6");
        ASSERT_TRUE(centre);
        ASSERT_EQ(centre->payStyle(), TVNewPayVC::GFQuipay);
        ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
        env.fastForwardBy(1);
        EXPECT_GE(server.requestsTo("Quipayappother/apppayios"), 1);
        EXPECT_EQ(noticeShown(centre), c.text) << c.status;
        auto error = centre->noticeView()->payError;
        if (c.code == 0) {
            EXPECT_FALSE(error);
        } else {
            ASSERT_TRUE(error);
            EXPECT_EQ(error->code(), c.code);
            EXPECT_EQ(error->domain(), c.domain);
            EXPECT_EQ(text(ns::cast<ns::String>(error->userInfo()->objectForKey("ErrorInfo"))),
                      sandbox::QuipayWallet::memoFor(c.status));
        }
        EXPECT_FALSE(centre->payBtn.lock()->isEnabled()) << "no poll, and the button stays off";
        ASSERT_TRUE(driver.tap(centre->noticeView()->cancelBtn.lock()));
        env.fastForwardBy(1);
        EXPECT_EQ(heard.size(), 1u);
        EXPECT_EQ(heard[0].rfind(c.code == 0 ? "success 充值成功" : std::string("failure ") + c.text + " 1", 0), 0u)
            << heard[0];
        server.setReply("Quipayappother/apppayios", std::nullopt);
    }
    EXPECT_EQ(wallet.orders().size(), 3u);
    EXPECT_EQ(wallet.orders()[0].rfind("order_no=SBX", 0), 0u);
}

TEST_F(PayFlowsTest, AResultWithoutAMemoStillReports) {
    auto plug = TVPayPlug::sharedInstance();
    ns::Ref<ns::Error> error;
    plug->block = [&](uint64_t, const ns::Ref<ns::String>&, const ns::Ref<ns::Error>& e) { error = e; };
    plug->setQuipayResultDic(ns::Dictionary::make({{"resultStatus", ns::str("4000")}}));
    ASSERT_TRUE(error);
    EXPECT_EQ(error->code(), 4000);
    EXPECT_EQ(error->userInfo()->count(), 0u);
}

TEST_F(PayFlowsTest, ThePlugMapsResultsAndOnlyLogsTheSDKsOwnCallback) {
    auto plug = TVPayPlug::sharedInstance();
    std::vector<std::string> texts;
    // No block: nothing reported, nothing raised.
    plug->setQuipayResultDic(QuipaySDK::resultDictionary("9000", "", ""));
    plug->block = [&](uint64_t way, const ns::Ref<ns::String>& t, const ns::Ref<ns::Error>& e) {
        texts.push_back(std::to_string(way) + " " + text(t) + " " + (e ? e->domain() : "nil"));
    };
    plug->setQuipayResultDic(QuipaySDK::resultDictionary("9000", "ok", ""));
    plug->setQuipayResultDic(ns::Dictionary::make(std::vector<ns::Dictionary::Entry>{}));
    EXPECT_EQ(texts, (std::vector<std::string>{"0 充值成功 nil", "0 充值失败 支付失败"}));
    EXPECT_EQ(plug->quipayResultDic()->count(), 0u);

    // The wallet is not installed: the SDK ends the payment itself; the plug
    // only logs that.
    ns::LogCapture log;
    plug->quipayInfo = QuipayInfo::responseWithDic(ns::Dictionary::make({{"c", ns::str("order")}}));
    plug->payWay = TVPayPlug::kPayWayQuipay;
    texts.clear();
    plug->doPay(plug->block);
    EXPECT_TRUE(texts.empty());
    EXPECT_TRUE(log.contains("回调 = "));
}

TEST_F(PayFlowsTest, ThePlugGivesAnAnswerNamingAnOrderNobodyWaitsForToNobody) {
    auto plug = TVPayPlug::sharedInstance();
    std::vector<std::string> texts;
    plug->block = [&](uint64_t, const ns::Ref<ns::String>& t, const ns::Ref<ns::Error>&) { texts.push_back(text(t)); };
    ns::LogCapture log;
    plug->setQuipayResultDic(QuipaySDK::resultDictionary("9000", "", "{\"order\":\"order_no=X\"}"));
    EXPECT_TRUE(texts.empty());
    EXPECT_TRUE(log.contains("wallet: an answer for the order order_no=X, which nobody waits for, reaches nobody"));
    // One that names no order is the current one's.
    plug->setQuipayResultDic(QuipaySDK::resultDictionary("6001", "", ""));
    EXPECT_EQ(texts, (std::vector<std::string>{"取消充值"}));
}

TEST_F(PayFlowsTest, TheOfficialWeChatPageIsEscapedWithARefererAndTheOthersArePlain) {
    auto page = std::make_shared<TVWebPayVC>();
    page->url = ns::str(server.base() + "wxpay?order=a b");
    page->isGFWXH5 = true;
    auto request = page->payRequest();
    ASSERT_TRUE(request);
    EXPECT_EQ(request->timeoutInterval(), 60);
    EXPECT_EQ(text(request->HTTPMethod()), "GET");
    EXPECT_EQ(text(request->valueForHTTPHeaderField("Referer")), "127.0.0.1://");
    EXPECT_NE(text(request->URL()->absoluteString()).find("a%20b"), std::string::npos);
    page->isGFWXH5 = false;
    EXPECT_FALSE(page->payRequest()) << "unescaped, an address with a space is no URL";
    page->url = ns::str(server.base() + "h5pay?order=1");
    request = page->payRequest();
    ASSERT_TRUE(request);
    EXPECT_FALSE(request->valueForHTTPHeaderField("Referer"));
    EXPECT_FALSE(page->shouldAutorotate());
    EXPECT_EQ(page->preferredInterfaceOrientationForPresentation(), ui::InterfaceOrientation::Portrait);
}

TEST_F(PayFlowsTest, TheCardsBackButtonWithoutABlockLeavesTheCard) {
    auto card = ns::cast<TVPayNoticeView>(ViewExtension::ViewFromXib(TVPayNoticeView::kNibName));
    ASSERT_TRUE(card);
    EXPECT_EQ(card->layer()->cornerRadius(), 5);
    window->addSubview(card);
    ASSERT_TRUE(driver.tap(card->cancelBtn.lock()));
    ASSERT_TRUE(driver.tap(card->goBtn.lock()));
    EXPECT_EQ(card->superview(), window);
}

}  // namespace
