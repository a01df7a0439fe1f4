#pragma once
// The payment's world: the screens' world (stand-in, SDK bundle, UI driver)
// with the known player logged in, an app delegate that sends the URLs the
// app is opened with to the channel's URL return, the game's two pay
// callbacks recorded, and the payment centre opened through its entry.

#include <optional>
#include <string>
#include <vector>

#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayEntry.h"
#include "channel/pay/TVPayPlug.h"
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
        return TVPayEntry::handleOpenURL(url);
    }
};

class PayTest : public screens_test::ScreensTest {
protected:
    PayTest() {
        saveKnownPlayer();
        QuipaySDK::resetForTesting();
        TVPayPlug::distroyInstance();
        ui::Application::sharedApplication()->setDelegate(app);
        TVNewPayVC::setBallHooks([this] { balls.push_back("hide"); }, [this] { balls.push_back("show"); });
    }
    ~PayTest() override {
        TVNewPayVC::setBallHooks(nullptr, nullptr);
        TVNewPayVC::purchase() = {};
        TVPayPlug::distroyInstance();
        QuipaySDK::resetForTesting();
    }

    static std::string text(const ns::Ref<ns::String>& value) { return value ? value->utf8() : "(nil)"; }

    // Opens the centre for `money` through the entry; the centre, or nil
    // when nothing was presented.
    ns::Ref<TVNewPayVC> open(const std::string& money) {
        TVPayEntry::loadToPayVCWithroleid(
            ns::str("role9"), ns::str(money), ns::str("s1"), ns::str("元宝"), ns::str("60元宝"), ns::str("ext"),
            [this](const ns::Ref<ns::String>& t, const ns::Ref<ns::String>& amount) {
                heard.push_back("success " + text(t) + " " + text(amount));
            },
            [this](const ns::Ref<ns::String>& t, int64_t code, const ns::Ref<ns::String>& amount) {
                heard.push_back("failure " + text(t) + " " + std::to_string(code) + " " + text(amount));
            });
        env.fastForwardBy(0.5);
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        if (!navigation || navigation->viewControllers().empty()) return nullptr;
        return ns::cast<TVNewPayVC>(navigation->viewControllers().front());
    }
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
    std::vector<std::string> balls;
};

}  // namespace pay_test
