#include "channel/pay/TVPayEntry.h"

#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayPlug.h"
#include "platform/foundation/Text.h"
#include "quipay/QuipaySDK.h"

namespace TVPayEntry {

namespace {

int64_t integerOf(const ns::Id& code) {
    if (!code) return 0;
    auto text = ns::cast<ns::String>(code);
    return (text ? text : ns::str(ns::textOf(code)))->integerValue();
}

}  // namespace

void loadToPayVCWithroleid(const Text& roleid, const Text& money, const Text& serverid, const Text& productName,
                           const Text& productDesc, const Text& attach, PaySuccess success, PayFailure faild) {
    TVNewPayVC::loadToPayVCWithroleid(
        roleid, serverid, money, attach, productName, productDesc,
        [success](const Text& text, const Text& amount) {
            if (success) success(text, amount);
        },
        [faild](const Text& text, const ns::Id& code, const Text& amount) {
            if (faild) faild(text, integerOf(code), amount);
        });
}

bool handleOpenURL(const ns::Ref<ns::URL>& url) {
    auto scheme = url ? url->scheme() : nullptr;
    auto host = url ? url->host() : nullptr;
    if (!scheme || !host || scheme->utf8() != TVPayPlug::returnScheme() || host->utf8() != "safepay") return false;
    QuipaySDK::defaultService()->processOrderWithPaymentResult(url, [](const ns::Ref<ns::Dictionary>& result) {
        TVPayPlug::sharedInstance()->setQuipayResultDic(result);
    });
    return true;
}

}  // namespace TVPayEntry
