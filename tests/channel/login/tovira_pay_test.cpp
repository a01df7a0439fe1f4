// ToviraSDK's pay entry and wallet return: the payment centre opened for the
// game's order with its code texts turned into integers, also at once after
// a login while the login window fades out; the wallet's return URL taken
// only with the game's exact scheme and the "safepay" host.

#include "channel/ShareVale.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayNoticeView.h"
#include "channel/pay/TVPayPlug.h"
#include "platform/dispatch/Queue.h"
#include "platform/foundation/Array.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/NavigationController.h"
#include "quipay/QuipaySDK.h"
#include "sandbox/QuipayWallet.h"
#include "login_test_support.h"

namespace {

// The app's three open-URL hooks, as the aggregation adapter forwards them.
class ReturningApp : public ui::ApplicationDelegate {
public:
    bool applicationOpenURL(ui::Application&, const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>&) override {
        ToviraSDK::applicationOpenURLOptions(url);
        return true;
    }
};

class ToviraPayTest : public login_test::LoginTest {
protected:
    ToviraPayTest() {
        saveKnownPlayer();
        QuipaySDK::resetForTesting();
        TVPayPlug::distroyInstance();
        ui::Application::sharedApplication()->setDelegate(std::make_shared<ReturningApp>());
    }
    ~ToviraPayTest() override {
        TVNewPayVC::orderState() = {};
        TVPayPlug::distroyInstance();
        QuipaySDK::resetForTesting();
    }
    ns::Ref<TVNewPayVC> pay(const char* money) {
        ToviraSDK::loadToPayVCWithroleid(
            ns::str("10001"), ns::str(money), ns::str("1"), ns::str("Gems"), ns::str("60 Gems"), ns::str("cp1"),
            [this](const ns::Ref<ns::String>& text, const ns::Ref<ns::String>& amount) {
                heard.push_back("success|" + text->utf8() + "|" + amount->utf8());
            },
            [this](const ns::Ref<ns::String>& text, int64_t code, const ns::Ref<ns::String>& amount) {
                heard.push_back("failure|" + text->utf8() + "|" + std::to_string(code) + "|" + amount->utf8());
            });
        env.fastForwardBy(0.5);
        auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
        return navigation ? ns::cast<TVNewPayVC>(navigation->viewControllers().front()) : nullptr;
    }
    std::vector<std::string> heard;
};

TEST_F(ToviraPayTest, TheCentreOpensForTheOrderAndTheServersCodeReachesTheGameAsAnInteger) {
    auto centre = pay("60");
    ASSERT_TRUE(centre);
    EXPECT_EQ(TVNewPayVC::orderState().cpExtend->utf8(), "cp1") << "attach goes as cpExtend";
    EXPECT_EQ(TVNewPayVC::orderState().serverId->utf8(), "1");
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (std::vector<std::string>{"failure|平台币不足|2|60"}));

    heard.clear();
    centre->popAction();
    env.fastForwardBy(1);
    centre = pay("9.99");
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    EXPECT_EQ(heard, (std::vector<std::string>{"success|支付成功|9.99"}));
}

TEST_F(ToviraPayTest, TheWalletsReturnReachesTheCentreOnlyThroughTheGamesSchemeAndHost) {
    ShareVale::sharedInstance()->setGameID(ns::str("1234"));
    server.setReply("pay/getPayWayios",
                    ns::Dictionary::make({{"code", ns::str("1")},
                                          {"data", ns::Array::make({ns::Dictionary::make({{"z", ns::str("5")}})})}}));
    sandbox::QuipayWallet wallet("6001");
    auto centre = pay("6");
    ASSERT_TRUE(centre);
    ASSERT_TRUE(driver.tap(centre->payBtn.lock()));
    env.fastForwardBy(1);
    ASSERT_EQ(wallet.returns().size(), 1u);
    EXPECT_EQ(wallet.returns()[0].rfind("ToviraQuiPayScheme1234://safepay/?", 0), 0u);
    auto status = centre->noticeView()->statusL.lock();
    EXPECT_EQ(status->text()->utf8(), "取消充值");
    EXPECT_EQ(TVPayPlug::sharedInstance()->quipayResultDic()->objectForKey("resultStatus")->description(), "6001");

    // Another payment in progress: returns by a scheme in the wrong case, by
    // another host or for another game are not read.
    ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
    QuipaySDK::defaultService()->payOrder(ns::str("o"), ns::str("ToviraQuiPayScheme1234"), nullptr);
    for (const char* ignored : {"toviraquipayscheme1234://safepay/?resultStatus=9000",
                                "ToviraQuiPayScheme1234://pay/?resultStatus=9000",
                                "ToviraQuiPayScheme12345://safepay/?resultStatus=9000"}) {
        ui::Application::sharedApplication()->simulateOpenURL(ns::URL::make(ignored));
        EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "pay") << ignored;
    }
    EXPECT_EQ(status->text()->utf8(), "取消充值");
    ui::Application::sharedApplication()->simulateOpenURL(
        ns::URL::make("ToviraQuiPayScheme1234://safepay/?resultStatus=9000&memo=ok"));
    EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "") << "read: the payment has ended";
    EXPECT_EQ(TVPayPlug::sharedInstance()->quipayResultDic()->objectForKey("resultStatus")->description(), "9000");
    EXPECT_EQ(status->text()->utf8(), "取消充值") << "the card's purchase has its answer already";
}

TEST_F(ToviraPayTest, ACentreOpenedAsTheLoginWindowFadesOutStaysOnScreen) {
    // The game orders as soon as it hears of the login (a turn of the main
    // queue later, as the adapter passes it on), as a quick page does.
    ns::Ref<ui::Window> loginWindow;
    bool heardLogin = false;
    ToviraSDK::loadLoginViewResultSuccess(
        [&](const auto&, const auto&, const auto&, const auto&) {
            dispatch::mainQueue()->async([&] {
                heardLogin = true;
                EXPECT_FALSE(loginWindow->isHidden()) << "still fading out";
                EXPECT_NE(VRQWindowManager::topWindow(), loginWindow) << "fading out, it takes no new pages";
                ToviraSDK::loadToPayVCWithroleid(ns::str("10001"), ns::str("6"), ns::str("1"), ns::str("Gems"),
                                                 ns::str("60 Gems"), ns::str("cp1"), nullptr, nullptr);
            });
        },
        [](int64_t, const ns::Ref<ns::String>&) {});
    env.fastForwardBy(1.0);
    loginWindow = card() ? card()->window() : nullptr;
    ASSERT_TRUE(loginWindow);
    login(sandbox::ChannelServer::kKnownUser, sandbox::ChannelServer::kKnownPassword);
    env.fastForwardBy(1.5);
    finishHandOff();
    ASSERT_TRUE(heardLogin);
    EXPECT_TRUE(loginWindow->isHidden());
    auto navigation = ns::cast<ui::NavigationController>(root->presentedViewController());
    ASSERT_TRUE(navigation) << "presented over the game, not over the login window";
    auto centre = ns::cast<TVNewPayVC>(navigation->viewControllers().front());
    ASSERT_TRUE(centre);
    EXPECT_TRUE(testing::UIDriver::isOnScreen(*centre->payBtn.lock()));
    EXPECT_TRUE(ballWindow()->isHidden()) << "the centre keeps the new ball away";
}

}  // namespace
