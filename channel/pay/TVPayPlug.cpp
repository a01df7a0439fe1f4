#include "channel/pay/TVPayPlug.h"

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

void TVPayPlug::doPay(Block newBlock) {
    block = std::move(newBlock);
    if (payWay == kPayWayQuipay) Quipay();
}

void TVPayPlug::Quipay() {
    auto order = quipayInfo ? ns::cast<ns::String>(quipayInfo->signStr) : nullptr;
    if (!order && quipayInfo && quipayInfo->signStr) order = ns::str(ns::textOf(quipayInfo->signStr));
    QuipaySDK::defaultService()->payOrder(order, ns::str(returnScheme()), [](const ns::Ref<ns::Dictionary>& result) {
        ns::log("回调 = %@", result);
    });
}

void TVPayPlug::setQuipayResultDic(const ns::Ref<ns::Dictionary>& dic) {
    quipayResultDic_ = dic;
    std::string status = textFor(dic, "resultStatus");
    if (status == "9000") {
        if (block) block(payWay, ns::str("充值成功"), nullptr);
        return;
    }
    bool cancelled = status == "6001";
    ns::Id memo = dic ? dic->objectForKey("memo") : nullptr;
    // A result without a memo still reports, with empty user info.
    auto info = memo ? ns::Dictionary::make({{"ErrorInfo", memo}}) : ns::Dictionary::make({});
    auto error = ns::Error::make(cancelled ? "支付失败,用户取消支付" : "支付失败", ns::str(status)->integerValue(), info);
    if (block) block(payWay, ns::str(cancelled ? "取消充值" : "充值失败"), error);
}
