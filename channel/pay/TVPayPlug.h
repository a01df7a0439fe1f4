#pragma once
// The hand-over of a signed wallet order to the wallet SDK, and the wallet's
// result (arriving through the app's return URL) turned into one call of
// the payment centre's block with a status text and, for a failure, an
// error: "9000" "充值成功" with no error, "6001" "取消充值" (domain
// "支付失败,用户取消支付"), anything else "充值失败" (domain "支付失败"); the
// error's code is the status, its user info holds the memo under
// "ErrorInfo". The block stays stored: a later result that names no order
// calls it again. An order still unanswered when the next one is handed
// over has been replaced (the wallet SDK follows one payment at a time):
// its block is kept aside while the wallet SDK still has the order out,
// and only an answer that names that order reaches it. An answer naming
// an order nobody waits for reaches nobody. A process-wide singleton; main
// thread only.

#include <cstdint>
#include <deque>
#include <functional>
#include <string>

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
    // `replaced` hears when a later order replaces this one unanswered.
    void doPay(Block block, std::function<void()> replaced = {});
    // The signed order string of quipayInfo; nil without one.
    ns::Ref<ns::String> orderString() const;
    // Whoever handed `order` over waits for it no more: the wallet SDK lets
    // go of it too, and an answer naming it reaches nobody.
    void forget(const ns::Ref<ns::String>& order);
    // Gives the wallet SDK the order string and the return scheme
    // "ToviraQuiPayScheme<game id>"; the SDK's own callback is only logged.
    void Quipay();
    // Stores the result, then reports it: an answer naming an order to the
    // block of that order while one waits for it (the current one's is the
    // block), and to nobody otherwise; an answer naming none through the
    // block (when set).
    void setQuipayResultDic(const ns::Ref<ns::Dictionary>& dic);
    const ns::Ref<ns::Dictionary>& quipayResultDic() const { return quipayResultDic_; }

    // "ToviraQuiPayScheme" followed by the game id.
    static std::string returnScheme();

    uint64_t payWay = kPayWayQuipay;
    ns::Ref<QuipayInfo> quipayInfo;
    Block block;

private:
    struct Replaced {
        std::string order;
        Block block;
    };
    ns::Ref<ns::Dictionary> quipayResultDic_;
    // The order of the block, while unanswered.
    std::string current_;
    // Replaced orders still out, and their blocks; the wallet SDK's orders
    // out are the set, this the blocks waiting on them.
    std::function<void()> currentReplaced_;
    std::deque<Replaced> replaced_;
};
