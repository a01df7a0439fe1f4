#pragma once
// The hand-over of a signed wallet order to the wallet SDK, and the wallet's
// result (arriving through the app's return URL) turned into one call of
// the payment centre's block with a status text and, for a failure, an
// error: "9000" "充值成功" with no error, "6001" "取消充值" (domain
// "支付失败,用户取消支付"), anything else "充值失败" (domain "支付失败"); the
// error's code is the status, its user info holds the memo under
// "ErrorInfo". The block stays stored: a later result calls it again. A
// process-wide singleton; main thread only.

#include <cstdint>
#include <functional>

#include "channel/TVPayResults.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class TVPayPlug : public ns::Object {
    RT_DECLARE_CLASS(TVPayPlug)
public:
    using Block = std::function<void(uint64_t payWay, const ns::Ref<ns::String>& text, const ns::Ref<ns::Error>& error)>;
    static constexpr uint64_t kPayWayQuipay = 0;

    static ns::Ref<TVPayPlug> sharedInstance();
    static void distroyInstance();

    // Stores the block; with the wallet pay way, starts the wallet payment.
    void doPay(Block block);
    // Gives the wallet SDK the order string and the return scheme
    // "ToviraQuiPayScheme<game id>"; the SDK's own callback is only logged.
    void Quipay();
    // Stores the result, then reports it through the block (when set).
    void setQuipayResultDic(const ns::Ref<ns::Dictionary>& dic);
    const ns::Ref<ns::Dictionary>& quipayResultDic() const { return quipayResultDic_; }

    // "ToviraQuiPayScheme" followed by the game id.
    static std::string returnScheme();

    uint64_t payWay = kPayWayQuipay;
    ns::Ref<QuipayInfo> quipayInfo;
    Block block;

private:
    ns::Ref<ns::Dictionary> quipayResultDic_;
};
