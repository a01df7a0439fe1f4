#include "quipay/QuipaySDK.h"

#include <mutex>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Log.h"
#include "platform/uikit/Application.h"

RT_DEFINE_CLASS(QuipaySDK, ns::Object, "QuipaySDK")

namespace {

constexpr const char* kTypePay = "pay";
constexpr const char* kTypeURLPay = "urlpay";

std::mutex& singletonLock() {
    static std::mutex lock;
    return lock;
}

ns::Ref<QuipaySDK>& singleton() {
    static ns::Ref<QuipaySDK> instance;
    return instance;
}

// A query value: everything but the unreserved characters escaped, so "&",
// "=" and "+" inside an order string survive the trip.
std::string escaped(const ns::String& text) {
    static const auto allowed = ns::CharacterSet::withCharactersInString(
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~");
    auto value = text.stringByAddingPercentEncodingWithAllowedCharacters(*allowed);
    return value ? value->utf8() : std::string();
}

bool isEmpty(const ns::Ref<ns::String>& text) {
    return !text || text->length() == 0;
}

}  // namespace

ns::Ref<QuipaySDK> QuipaySDK::defaultService() {
    std::lock_guard guard(singletonLock());
    auto& instance = singleton();
    if (!instance) instance = std::make_shared<QuipaySDK>();
    return instance;
}

void QuipaySDK::resetForTesting() {
    std::lock_guard guard(singletonLock());
    singleton().reset();
}

ns::Ref<ns::Dictionary> QuipaySDK::resultDictionary(std::string_view status, std::string_view memo,
                                                    std::string_view result) {
    return ns::Dictionary::make({{"resultStatus", ns::str(std::string(status))},
                                 {"memo", ns::str(std::string(memo))},
                                 {"result", ns::str(std::string(result))}});
}

ns::Ref<ns::String> QuipaySDK::queryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        size_t end = query.find('&');
        std::string_view pair = query.substr(0, end);
        size_t equals = pair.find('=');
        if (pair.substr(0, equals) == key) {
            std::string raw(equals == std::string_view::npos ? std::string_view() : pair.substr(equals + 1));
            // A malformed escape keeps the text as it came rather than losing it.
            auto value = ns::str(raw)->stringByRemovingPercentEncoding();
            return value ? value : ns::str(raw);
        }
        if (end == std::string_view::npos) break;
        query.remove_prefix(end + 1);
    }
    return nullptr;
}

void QuipaySDK::payOrder(const ns::Ref<ns::String>& orderStr, const ns::Ref<ns::String>& schemeStr,
                         CompletionBlock callback) {
    auto fail = [&](std::string_view memo) {
        ns::log("QuipaySDK: %@", std::string(memo));
        if (callback) callback(resultDictionary(kStatusFailed, memo, ""));
    };
    if (isEmpty(orderStr)) return fail("订单信息错误");
    if (isEmpty(schemeStr)) return fail("返回地址错误");

    auto wallet = ns::URL::make(std::string(kWalletScheme) + "://safepay/?" + kOrderKey + "=" + escaped(*orderStr) +
                                "&" + kReturnSchemeKey + "=" + escaped(*schemeStr));
    auto application = ui::Application::sharedApplication();
    if (!wallet || !application->canOpenURL(wallet)) return fail("未安装钱包");
    paymentType_ = kTypePay;
    application->openURL(wallet);
}

void QuipaySDK::processOrderWithPaymentResult(const ns::Ref<ns::URL>& resultUrl, CompletionBlock standbyCallback) {
    if (!resultUrl || (paymentType_ != kTypePay && paymentType_ != kTypeURLPay)) return;
    paymentType_.clear();
    auto query = resultUrl->query();
    std::string text = query ? query->utf8() : std::string();
    auto read = [&](std::string_view key) {
        auto value = queryValue(text, key);
        return value ? value->utf8() : std::string();
    };
    auto result = resultDictionary(read("resultStatus"), read("memo"), read("result"));
    if (standbyCallback) standbyCallback(result);
}
