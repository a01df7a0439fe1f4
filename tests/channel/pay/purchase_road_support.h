#pragma once
// A purchase's road with the game around it: the centre opened over a
// dialog of the game, the steps a player takes (the pay page, the wallet
// app, the card), what the game does (taking its dialog down, dropping its
// root, logging the player out or in) and what is on screen.

#include <cctype>
#include <cstdio>
#include <string>

#include "channel/login/TVLoginView.h"
#include "channel/login/ToviraSDK.h"
#include "channel/screens/VRQSubNameVC.h"
#include "platform/foundation/Array.h"
#include "platform/uikit/AlertController.h"
#include "platform/uikit/TableView.h"
#include "platform/uikit/TextField.h"
#include "pay_test_support.h"
#include "ui/hud/sd_KXProgressHUD.h"

namespace pay_test {

class PurchaseRoadTest : public PayTest {
protected:
    // The game's dialog, with the centre opened over it for 6 yuan.
    ns::Ref<TVNewPayVC> openOverDialog(const std::string& tag = "A") {
        dialog = ui::AlertController::alertControllerWithTitle("提示", "确认?", ui::AlertControllerStyle::Alert);
        root->presentViewController(dialog, false);
        env.runUntilIdle();
        enter(tag, "6");
        env.fastForwardBy(1);
        auto navigation = ns::cast<ui::NavigationController>(dialog->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
    // Paid on the wallet's web page and back in the app: the card up at
    // "支付中..." and the first poll sent.
    void payByWebPageAndComeBack(const ns::Ref<TVNewPayVC>& centre) {
        auto page = payByWebPage(centre);
        ASSERT_TRUE(page);
        page->popAction();
        env.runUntilIdle();
        ASSERT_EQ(noticeShown(centre), "支付中...");
    }
    // The wallet app's is the only pay way.
    void walletAppOnly() {
        server.setReply("pay/getPayWayios",
                        ns::Dictionary::make(
                            {{"code", ns::str("1")},
                             {"data", ns::Array::make({ns::Dictionary::make({{"z", ns::str("31")}})})}}));
    }
    // Picks the wallet app's way and pays: the order handed to the wallet,
    // whose answer has not come yet (the clock has not moved).
    void payByWallet(const ns::Ref<TVNewPayVC>& centre) {
        ASSERT_TRUE(centre);
        ASSERT_TRUE(driver.tap(centre->GFQuipayIconBtn.lock()));
        ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
        env.runUntilIdle();
        ASSERT_EQ(QuipaySDK::defaultService()->paymentType(), "pay");
    }
    // Taps the pay button with the order's reply held back `seconds`: true
    // once the request is out.
    bool sendHeldBack(const ns::Ref<TVNewPayVC>& centre, const std::string& endpoint, double seconds) {
        server.delays().setDelay(endpoint, seconds);
        int sent = server.requestsTo(endpoint);
        if (!driver.tap(centre->payBtn.lock())) return false;
        return server.delays().waitForRequests(endpoint, sent + 1, 10);
    }
    // Lets `seconds` pass and what falls due run.
    virtual void letTimePass(double seconds) { env.fastForwardBy(seconds); }
    // The game dismisses its dialog, and the centre with it.
    void takeDown() {
        root->dismissViewController(true);
        letTimePass(1);
        ASSERT_FALSE(root->presentedViewController());
    }
    // The game dismisses its dialog at once, and the centre with it.
    void takeDownAtOnce() {
        root->dismissViewController(false);
        env.runUntilIdle();
        ASSERT_FALSE(root->presentedViewController());
    }
    // The game puts a new root in its window: the old one, its dialog and
    // the centre over it are let go without being dismissed.
    void dropRoot() {
        root = std::make_shared<ui::ViewController>();
        window->setRootViewController(root);
        dialog = nullptr;
        letTimePass(1);
    }
    // The game opens the login window and the player logs in as `name`,
    // picking the first sub-account.
    void logIn(const std::string& name, const std::string& password) {
        ToviraSDK::loadLoginViewResultSuccess([](const auto&, const auto&, const auto&, const auto&) {},
                                              [](int64_t, const auto&) {});
        env.fastForwardBy(1);
        auto card = driver.findOfType<TVLoginView>();
        ASSERT_TRUE(card);
        for (auto [field, text] : {std::pair{card->loginName.lock(), name}, std::pair{card->loginPwd.lock(), password}}) {
            ASSERT_TRUE(field);
            field->setText("");
            ASSERT_TRUE(driver.typeText(field, text));
            field->resignFirstResponder();
        }
        env.runUntilIdle();
        ASSERT_TRUE(driver.tap(card->mainLoginBtn.lock()));
        env.fastForwardBy(2);
        if (driver.findByText("关闭")) {
            ASSERT_TRUE(driver.tap("关闭"));
            env.fastForwardBy(0.5);
        }
        auto list = driver.find([](ui::View& v) { return ns::cast<VRQSubNameVC>(v.owningController()) != nullptr; });
        ASSERT_TRUE(list);
        auto screen = ns::cast<VRQSubNameVC>(list->owningController());
        ASSERT_TRUE(driver.selectRow(screen->tableView.lock(), ui::IndexPath::forRow(0, 0)));
        env.fastForwardBy(1.5);
        ASSERT_EQ(text(ShareVale::sharedInstance()->userName()), name);
    }
    // Whether a payment ("next") entered now opens its centre at once.
    bool nextOpens() {
        enter("next", "30");
        letTimePass(1);
        for (auto shown = root->presentedViewController(); shown; shown = shown->presentedViewController()) {
            auto navigation = ns::cast<ui::NavigationController>(shown);
            if (navigation && ns::cast<TVNewPayVC>(navigation->viewControllers().front()) &&
                text(TVNewPayVC::orderState().cpExtend) == "order-next")
                return true;
        }
        return false;
    }
    // What is on screen of the purchase: "card <status>", "page",
    // "centre", or "game" when nothing of it is left.
    std::string shown() {
        if (auto card = driver.findOfType<TVPayNoticeView>()) return "card " + labelText(card->statusL);
        for (auto shown = root->presentedViewController(); shown; shown = shown->presentedViewController()) {
            auto navigation = ns::cast<ui::NavigationController>(shown);
            if (!navigation || !ns::cast<TVNewPayVC>(navigation->viewControllers().front())) continue;
            return ns::cast<TVWebPayVC>(navigation->viewControllers().back()) ? "page" : "centre";
        }
        return "game";
    }
    // The wallet's return URL for `status`, naming `order` when it is paid.
    static ns::Ref<ns::URL> walletReturn(const std::string& status, const std::string& order) {
        std::string result = order.empty() ? "" : "{\"order\":\"" + order + "\",\"code\":\"10000\"}";
        std::string escaped;
        for (unsigned char c : result) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            escaped += std::isalnum(c) ? std::string(1, static_cast<char>(c)) : std::string(hex);
        }
        return ns::URL::make(TVPayPlug::returnScheme() + "://safepay/?resultStatus=" + status +
                             "&memo=memo&result=" + escaped);
    }
    static std::string currentWalletOrder() {
        auto order = TVPayPlug::sharedInstance()->quipayInfo;
        return order ? ns::textOf(order->signStr) : "";
    }
    // The HUD on the top window, if any, and its text.
    static std::string hudShown() {
        auto hud = sd_KXProgressHUD::HUDForView(VRQWindowManager::topWindow());
        return hud ? text(hud->labelText()) : "";
    }

    ns::Ref<ui::ViewController> dialog;
};

}  // namespace pay_test
