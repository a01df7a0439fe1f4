#include "channel/pay/TVPayPlug.h"

#include <algorithm>

#include "channel/ShareVale.h"
#include "channel/TVSingleton.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Text.h"
#include "quipay/QuipaySDK.h"

RT_DEFINE_CLASS(TVPayPlug, ns::Object, "TVPayPlug")

namespace {

std::string textFor(const ns::Ref<ns::Dictionary>& dic, std::string_view key) {
    ns::Id value = dic ? dic->objectForKey(key) : nullptr;
    return value ? ns::textOf(value) : std::string();
}

}  // namespace

ns::Ref<TVPayPlug> TVPayPlug::sharedInstance() {
    return TVSingleton<TVPayPlug>::shared();
}

void TVPayPlug::distroyInstance() {
    TVSingleton<TVPayPlug>::destroy();
}

std::string TVPayPlug::returnScheme() {
    auto gameID = ShareVale::sharedInstance()->gameID();
    return "ToviraQuiPayScheme" + (gameID ? gameID->utf8() : std::string("(null)"));
}

ns::Ref<ns::String> TVPayPlug::orderString() const {
    auto order = quipayInfo ? ns::cast<ns::String>(quipayInfo->signStr) : nullptr;
    if (!order && quipayInfo && quipayInfo->signStr) order = ns::str(ns::textOf(quipayInfo->signStr));
    return order;
}

void TVPayPlug::doPay(Block newBlock, std::function<void()> replaced) {
    if (!current_.empty() && block) {
        ns::log("wallet: the order %@ is replaced unanswered; only an answer naming it reaches it now", current_);
        replaced_.push_back({current_, block});
        if (auto told = std::move(currentReplaced_)) told();
    }
    block = std::move(newBlock);
    auto order = orderString();
    current_ = order ? order->utf8() : std::string();
    currentReplaced_ = std::move(replaced);
    if (payWay == kPayWayQuipay) Quipay();
    // The SDK keeps a bounded number of orders out: a block whose order it
    // has let go of waits for nothing.
    auto sdk = QuipaySDK::defaultService();
    std::erase_if(replaced_, [&](const Replaced& each) { return !sdk->isAwaiting(ns::str(each.order)); });
}

void TVPayPlug::forget(const ns::Ref<ns::String>& order) {
    if (!order) return;
    std::string text = order->utf8();
    if (text == current_) {
        current_.clear();
        currentReplaced_ = nullptr;
        block = nullptr;
    }
    std::erase_if(replaced_, [&](const Replaced& each) { return each.order == text; });
    QuipaySDK::defaultService()->forgetOrder(order);
}

void TVPayPlug::Quipay() {
    QuipaySDK::defaultService()->payOrder(orderString(), ns::str(returnScheme()),
                                          [](const ns::Ref<ns::Dictionary>& result) { ns::log("回调 = %@", result); });
}

void TVPayPlug::setQuipayResultDic(const ns::Ref<ns::Dictionary>& dic) {
    quipayResultDic_ = dic;
    // An answer naming an order is that order's, and nobody's once nobody
    // waits for it; one naming none is the current order's, which is all
    // the wallet SDK can tell.
    Block to = block;
    std::string named = QuipaySDK::orderOfResult(dic);
    auto found = std::find_if(replaced_.begin(), replaced_.end(),
                              [&](const Replaced& each) { return each.order == named; });
    if (!named.empty() && named != current_) {
        if (found == replaced_.end()) {
            ns::log("wallet: an answer for the order %@, which nobody waits for, reaches nobody", named);
            return;
        }
        to = std::move(found->block);
        replaced_.erase(found);
    } else {
        current_.clear();
        currentReplaced_ = nullptr;
    }
    std::string status = textFor(dic, "resultStatus");
    if (status == "9000") {
        if (to) to(payWay, ns::str("充值成功"), nullptr);
        return;
    }
    bool cancelled = status == "6001";
    ns::Id memo = dic ? dic->objectForKey("memo") : nullptr;
    // A result without a memo still reports, with empty user info.
    auto info = memo ? ns::Dictionary::make({{"ErrorInfo", memo}}) : ns::Dictionary::make({});
    auto error = ns::Error::make(cancelled ? "支付失败,用户取消支付" : "支付失败", ns::str(status)->integerValue(), info);
    if (to) to(payWay, ns::str(cancelled ? "取消充值" : "充值失败"), error);
}
