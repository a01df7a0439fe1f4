#pragma once
// The payment's world: the screens' world (stand-in, SDK bundle, UI driver)
// with the known player logged in and the floating ball out, an app
// delegate that does what the channel's entry does with the wallet's return
// URL (the wallet SDK reads it, the plug hears the result), the game's two
// pay callbacks recorded, and the payment centre opened for an order.

#include <optional>
#include <string>
#include <vector>

#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayPlug.h"
#include "channel/pay/TVWebPayVC.h"
#include "channel/usercenter/VRQHelperBtn.h"
#include "channel/VRQWindowManager.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "quipay/QuipaySDK.h"
#include "tests/channel/screens/screens_test_support.h"

namespace pay_test {

// What the game heard: "success <text> <amount>" or "failure <text> <code> <amount>".
using Heard = std::vector<std::string>;

class ReturningApp : public ui::ApplicationDelegate {
public:
    bool applicationOpenURL(ui::Application&, const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>&) override {
        QuipaySDK::defaultService()->processOrderWithPaymentResult(url, [](const ns::Ref<ns::Dictionary>& result) {
            TVPayPlug::sharedInstance()->setQuipayResultDic(result);
        });
        return true;
    }
};

class PayTest : public screens_test::ScreensTest {
protected:
    PayTest() {
        saveKnownPlayer();
        QuipaySDK::resetForTesting();
        TVPayPlug::distroyInstance();
        ui::Application::sharedApplication()->setDelegate(app);
        VRQHelperBtn::setSignedIn(true);
        env.runUntilIdle();
    }
    ~PayTest() override {
        for (const auto& [key, ballWindow] : VRQWindowManager::shared()->windowDic()) ballWindow->setHidden(true);
        VRQWindowManager::shared()->windowDic().clear();
        TVNewPayVC::orderState() = {};
        TVPayPlug::distroyInstance();
        QuipaySDK::resetForTesting();
    }

    static std::string text(const ns::Ref<ns::String>& value) { return value ? value->utf8() : "(nil)"; }

    // Opens the centre for `money`; the centre, or nil when nothing was
    // presented.
    ns::Ref<TVNewPayVC> open(const std::string& money) {
        TVNewPayVC::loadToPayVCWithroleid(
            ns::str("role9"), ns::str("s1"), ns::str(money), ns::str("ext"), ns::str("元宝"), ns::str("60元宝"),
            [this](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>& amount) {
                heard.push_back("success " + text(t) + " " + text(amount));
            },
            [this](const ns::Ref<ns::String>& t, const ns::Id& code, const ns::Ref<ns::String>& amount) {
                heard.push_back("failure " + text(t) + " " + (code ? ns::textOf(code) : "(nil)") + " " + text(amount));
            });
        env.fastForwardBy(0.5);
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        if (!navigation || navigation->viewControllers().empty()) return nullptr;
        return ns::cast<TVNewPayVC>(navigation->viewControllers().front());
    }
    // An entry call (game order "order-<tag>") whose closures tell what
    // they hear by `tag`: "<tag> success ..." or "<tag> failure ...".
    void enter(const std::string& tag, const std::string& money) {
        TVNewPayVC::loadToPayVCWithroleid(
            ns::str("role9"), ns::str("s1"), ns::str(money), ns::str("order-" + tag), ns::str("元宝"),
            ns::str("元宝"),
            [this, tag](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>& amount) {
                heard.push_back(tag + " success " + text(t) + " " + text(amount));
            },
            [this, tag](const ns::Ref<ns::String>& t, const ns::Id& code, const ns::Ref<ns::String>& amount) {
                heard.push_back(tag + " failure " + text(t) + " " + (code ? ns::textOf(code) : "(nil)") + " " +
                                text(amount));
            });
    }
    // Picks the wallet's web page and pays: the page pushed and loaded.
    ns::Ref<TVWebPayVC> payByWebPage(const ns::Ref<TVNewPayVC>& centre) {
        EXPECT_TRUE(driver.tap(centre->quipayIconBtn.lock()));
        EXPECT_TRUE(driver.tap(centre->payBtn.lock()));
        env.fastForwardBy(1);
        auto navigation = centre->navigationController();
        return navigation ? ns::cast<TVWebPayVC>(navigation->viewControllers().back()) : nullptr;
    }
    // The order-status poll's requests so far.
    int polls() const { return server.requestsTo("Pay/getUserSuccess"); }
    static std::string labelText(const ns::Weak<ui::Label>& label) {
        auto view = label.lock();
        return view ? text(view->text()) : "(no label)";
    }
    // The notice card's status while it is on screen, else "".
    static std::string noticeShown(const ns::Ref<TVNewPayVC>& centre) {
        auto card = centre->noticeView();
        return card->window() ? labelText(card->statusL) : "";
    }

    std::shared_ptr<ReturningApp> app = std::make_shared<ReturningApp>();
    Heard heard;
};

}  // namespace pay_test
