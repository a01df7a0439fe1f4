#pragma once
// The wallet payment SDK's entry: hands a signed order string to the wallet
// app by opening its URL, and reads the result back from the URL by which
// the wallet reopens the app. A payment started here is kept in memory
// until its result has been read; a return URL with no payment in progress
// is ignored. The result is a dictionary of three texts: "resultStatus"
// ("9000" paid, "6001" cancelled by the user, other codes failures), "memo"
// and "result", which for a paid order is a JSON object naming the order
// string it paid under "order". One payment is in progress at a time: a new
// one replaces it, and an answer that names no order ends the one in
// progress; an answer that names an order still out (replaced, or the one
// in progress) ends that one only, and one that names any other order ends
// nothing and reaches nobody. The orders out are remembered, at most
// kMaxOrdersOut of them, until answered or let go of. Main thread only.

#include <deque>
#include <functional>
#include <string>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class QuipaySDK : public ns::Object {
    RT_DECLARE_CLASS(QuipaySDK)
public:
    using CompletionBlock = std::function<void(const ns::Ref<ns::Dictionary>& resultDic)>;

    // The wallet app's scheme, and the keys of its order URL's query.
    static constexpr const char* kWalletScheme = "quipay";
    static constexpr const char* kOrderKey = "orderStr";
    static constexpr const char* kReturnSchemeKey = "fromAppUrlScheme";
    // Statuses the SDK reports itself, when the wallet is never reached.
    static constexpr const char* kStatusFailed = "4000";
    // Orders handed to the wallet and not answered, kept at most.
    static constexpr size_t kMaxOrdersOut = 8;

    static ns::Ref<QuipaySDK> defaultService();
    // Drops the singleton and any payment in progress (tests).
    static void resetForTesting();

    // Starts a payment of type "pay": opens the wallet with the order and the
    // scheme by which the wallet comes back. An empty order or scheme, or a
    // wallet that is not installed, ends the payment at once: `callback`
    // hears a failure ("4000") and nothing is kept.
    void payOrder(const ns::Ref<ns::String>& orderStr, const ns::Ref<ns::String>& schemeStr,
                  CompletionBlock callback);
    // Reads the result from the return URL's query (the three keys,
    // percent-escaped; a missing key reads as ""). A result naming an order
    // still out ends that order; one naming no order ends the payment in
    // progress; either way `standbyCallback` hears the result. A result
    // naming an order not out, or naming none with no payment in progress,
    // is logged and nothing else happens.
    void processOrderWithPaymentResult(const ns::Ref<ns::URL>& resultUrl, CompletionBlock standbyCallback);

    // "pay" while a payment is in progress, else "".
    const std::string& paymentType() const { return paymentType_; }
    // Whether `order` has been handed to the wallet and not answered.
    bool isAwaiting(const ns::Ref<ns::String>& order) const;
    // Nobody waits for `order` any more: an answer naming it is ignored, and
    // the payment in progress ends when it is that one.
    void forgetOrder(const ns::Ref<ns::String>& order);

    // The result dictionary of the three texts.
    static ns::Ref<ns::Dictionary> resultDictionary(std::string_view status, std::string_view memo,
                                                    std::string_view result);
    // The value of `key` in a URL query ("a=1&b=2"), unescaped; nil when absent.
    static ns::Ref<ns::String> queryValue(std::string_view query, std::string_view key);
    // The order string a result names ("order" of its "result"); "" when it
    // names none.
    static std::string orderOfResult(const ns::Ref<ns::Dictionary>& result);

private:
    std::string paymentType_;
    // Handed to the wallet, oldest first; the last is the one in progress
    // while paymentType_ is set.
    std::deque<std::string> ordersOut_;
};
