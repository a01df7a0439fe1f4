// The wallet SDK's entry against the sandbox's wallet: the order URL it
// opens, the result read back from the return URL, and the return URLs it
// ignores (no payment in progress, a second return).

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "platform/foundation/Text.h"
#include "platform/testing/TaskEnvironment.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "quipay/QuipaySDK.h"
#include "sandbox/QuipayWallet.h"

namespace {

std::string field(const ns::Ref<ns::Dictionary>& result, std::string_view key) {
    ns::Id value = result ? result->objectForKey(key) : nullptr;
    return value ? ns::textOf(value) : "<missing>";
}

// The app as far as the wallet sees it: every URL it is opened with goes to
// the SDK, and the results are kept.
class ReturningApp : public ui::ApplicationDelegate {
public:
    bool applicationOpenURL(ui::Application&, const ns::Ref<ns::URL>& url, const ns::Ref<ns::Dictionary>&) override {
        QuipaySDK::defaultService()->processOrderWithPaymentResult(
            url, [this](const ns::Ref<ns::Dictionary>& result) { results.push_back(result); });
        return true;
    }
    std::vector<ns::Ref<ns::Dictionary>> results;
};

class QuipaySDKTest : public ::testing::Test {
protected:
    QuipaySDKTest() {
        ui::resetSharedStateForTesting();
        QuipaySDK::resetForTesting();
        ui::Application::sharedApplication()->setDelegate(app);
    }
    ~QuipaySDKTest() override {
        ui::resetSharedStateForTesting();
        QuipaySDK::resetForTesting();
    }

    // Pays and lets the wallet answer; the SDK's own callback result, if any.
    std::optional<ns::Ref<ns::Dictionary>> pay(std::string_view order, std::string_view scheme) {
        std::optional<ns::Ref<ns::Dictionary>> own;
        QuipaySDK::defaultService()->payOrder(ns::str(std::string(order)), ns::str(std::string(scheme)),
                                              [&own](const ns::Ref<ns::Dictionary>& result) { own = result; });
        env.fastForwardBy(sandbox::QuipayWallet::kInterval);
        return own;
    }

    testing::TaskEnvironment env;
    std::shared_ptr<ReturningApp> app = std::make_shared<ReturningApp>();
};

TEST_F(QuipaySDKTest, EachWalletStatusComesBackAsTheResultDictionary) {
    sandbox::QuipayWallet wallet;
    for (std::string status : {"9000", "6001", "4000"}) {
        wallet.setStatus(status);
        app->results.clear();
        EXPECT_FALSE(pay("order_no=SBX1&sign=a+b/c=", "ToviraQuiPaySchemeg42").has_value());
        ASSERT_EQ(app->results.size(), 1u) << status;
        EXPECT_EQ(field(app->results[0], "resultStatus"), status);
        EXPECT_EQ(field(app->results[0], "memo"), sandbox::QuipayWallet::memoFor(status));
        EXPECT_EQ(app->results[0]->count(), 3u);
        EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "") << "the payment has ended";
    }
    // The order string crossed to the wallet whole, escapes and all.
    ASSERT_EQ(wallet.orders().size(), 3u);
    EXPECT_EQ(wallet.orders()[0], "order_no=SBX1&sign=a+b/c=");
    EXPECT_EQ(wallet.returns()[0].rfind("ToviraQuiPaySchemeg42://safepay/?resultStatus=9000&memo=", 0), 0u);
    auto opened = ui::Application::sharedApplication()->openedURLs();
    ASSERT_FALSE(opened.empty());
    EXPECT_EQ(opened[0]->scheme()->utf8(), QuipaySDK::kWalletScheme);
}

TEST_F(QuipaySDKTest, AReturnWithNoPaymentInProgressIsIgnored) {
    auto url = ns::URL::make("ToviraQuiPaySchemeg42://safepay/?resultStatus=9000&memo=x&result=y");
    bool called = false;
    QuipaySDK::defaultService()->processOrderWithPaymentResult(url, [&](const auto&) { called = true; });
    EXPECT_FALSE(called);

    // A payment in progress takes the first return only.
    ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
    QuipaySDK::defaultService()->payOrder(ns::str("order"), ns::str("ToviraQuiPaySchemeg42"), nullptr);
    EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "pay");
    int calls = 0;
    ns::Ref<ns::Dictionary> result;
    auto count = [&](const ns::Ref<ns::Dictionary>& dic) {
        ++calls;
        result = dic;
    };
    QuipaySDK::defaultService()->processOrderWithPaymentResult(
        ns::URL::make("ToviraQuiPaySchemeg42://safepay/?memo=%E5%8F%96%E6%B6%88&resultStatus=6001"), count);
    QuipaySDK::defaultService()->processOrderWithPaymentResult(url, count);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(field(result, "resultStatus"), "6001");
    EXPECT_EQ(field(result, "memo"), "取消");
    EXPECT_EQ(field(result, "result"), "") << "a missing key reads as empty";
}

TEST_F(QuipaySDKTest, AnOrderThatCannotReachTheWalletFailsAtOnceAndKeepsNothing) {
    // No wallet installed.
    auto own = pay("order", "ToviraQuiPaySchemeg42");
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(field(*own, "resultStatus"), QuipaySDK::kStatusFailed);
    EXPECT_EQ(QuipaySDK::defaultService()->paymentType(), "");
    EXPECT_TRUE(ui::Application::sharedApplication()->openedURLs().empty());

    sandbox::QuipayWallet wallet;
    for (auto [order, scheme] : {std::pair{"", "ToviraQuiPaySchemeg42"}, std::pair{"order", ""}}) {
        own = pay(order, scheme);
        ASSERT_TRUE(own.has_value());
        EXPECT_EQ(field(*own, "resultStatus"), QuipaySDK::kStatusFailed);
    }
    EXPECT_TRUE(wallet.orders().empty());
    EXPECT_TRUE(app->results.empty());
}

TEST_F(QuipaySDKTest, QueryValuesAreFoundByWholeKeyAndUnescaped) {
    EXPECT_EQ(QuipaySDK::queryValue("amemo=1&memo=%20x", "memo")->utf8(), " x");
    EXPECT_EQ(QuipaySDK::queryValue("memo", "memo")->utf8(), "");
    EXPECT_EQ(QuipaySDK::queryValue("a=1", "memo"), nullptr);
    EXPECT_EQ(QuipaySDK::queryValue("memo=%ZZ", "memo")->utf8(), "%ZZ") << "a bad escape keeps the text";
}

}  // namespace

namespace {

TEST_F(QuipaySDKTest, AnAnswerNamingAnOrderNotOutEndsNothingAndAForgottenOrderIsNotOut) {
    ui::Application::sharedApplication()->addInstalledScheme(QuipaySDK::kWalletScheme);
    auto sdk = QuipaySDK::defaultService();
    sdk->payOrder(ns::str("A"), ns::str("ToviraQuiPaySchemeg42"), nullptr);
    sdk->payOrder(ns::str("B"), ns::str("ToviraQuiPaySchemeg42"), nullptr);
    int calls = 0;
    auto count = [&](const ns::Ref<ns::Dictionary>&) { ++calls; };
    auto naming = [](const char* order) {
        return ns::URL::make(std::string("ToviraQuiPaySchemeg42://safepay/?resultStatus=9000&result=%7B%22order%22%3A%22") +
                             order + "%22%7D");
    };
    // A's answer ends A only; a second one, and one naming an order never
    // handed over, end nothing: B is still in progress.
    sdk->processOrderWithPaymentResult(naming("A"), count);
    sdk->processOrderWithPaymentResult(naming("A"), count);
    sdk->processOrderWithPaymentResult(naming("Z"), count);
    EXPECT_EQ(calls, 1);
    EXPECT_FALSE(sdk->isAwaiting(ns::str("A")));
    EXPECT_EQ(sdk->paymentType(), "pay");

    // Forgotten, B is not out and no payment is in progress.
    sdk->forgetOrder(ns::str("B"));
    EXPECT_FALSE(sdk->isAwaiting(ns::str("B")));
    EXPECT_EQ(sdk->paymentType(), "");
    sdk->processOrderWithPaymentResult(naming("B"), count);
    sdk->processOrderWithPaymentResult(ns::URL::make("ToviraQuiPaySchemeg42://safepay/?resultStatus=6001"), count);
    EXPECT_EQ(calls, 1);
}

}  // namespace
