#include "quipay/QuipaySDK.h"

#include <algorithm>
#include <mutex>

#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/JSONSerialization.h"
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

std::string QuipaySDK::orderOfResult(const ns::Ref<ns::Dictionary>& result) {
    auto text = result ? ns::cast<ns::String>(result->objectForKey("result")) : nullptr;
    // Only a JSON object can name an order; anything else (empty for a
    // cancel or a failure) names none. The text came in a URL, so it is
    // as long as that allowed.
    if (!text || text->length() == 0 || text->utf8().front() != '{') return {};
    auto data = ns::Data::withBytes(text->utf8());
    auto object = ns::cast<ns::Dictionary>(ns::JSONSerialization::JSONObjectWithData(data, 0));
    auto order = object ? ns::cast<ns::String>(object->objectForKey("order")) : nullptr;
    return order ? order->utf8() : std::string();
}

bool QuipaySDK::isAwaiting(const ns::Ref<ns::String>& order) const {
    return order && std::find(ordersOut_.begin(), ordersOut_.end(), order->utf8()) != ordersOut_.end();
}

void QuipaySDK::forgetOrder(const ns::Ref<ns::String>& order) {
    if (!order) return;
    auto found = std::find(ordersOut_.begin(), ordersOut_.end(), order->utf8());
    if (found == ordersOut_.end()) return;
    if (found + 1 == ordersOut_.end()) paymentType_.clear();
    ordersOut_.erase(found);
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
    ordersOut_.push_back(orderStr->utf8());
    if (ordersOut_.size() > kMaxOrdersOut) ordersOut_.pop_front();
    application->openURL(wallet);
}

void QuipaySDK::processOrderWithPaymentResult(const ns::Ref<ns::URL>& resultUrl, CompletionBlock standbyCallback) {
    if (!resultUrl) return;
    auto query = resultUrl->query();
    std::string text = query ? query->utf8() : std::string();
    auto read = [&](std::string_view key) {
        auto value = queryValue(text, key);
        return value ? value->utf8() : std::string();
    };
    auto result = resultDictionary(read("resultStatus"), read("memo"), read("result"));
    bool inProgress = paymentType_ == kTypePay || paymentType_ == kTypeURLPay;
    std::string order = orderOfResult(result);
    auto named = order.empty() ? ordersOut_.end() : std::find(ordersOut_.begin(), ordersOut_.end(), order);
    if (named != ordersOut_.end()) {
        // The answer of that order: the one in progress only if it is the last.
        if (named + 1 == ordersOut_.end()) paymentType_.clear();
        ordersOut_.erase(named);
    } else if (!order.empty()) {
        ns::log("QuipaySDK: a result for an order not out; ignored");
        return;
    } else if (inProgress) {
        paymentType_.clear();
        if (!ordersOut_.empty()) ordersOut_.pop_back();
    } else {
        return;
    }
    if (standbyCallback) standbyCallback(result);
}
