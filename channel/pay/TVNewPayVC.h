#pragma once
// The payment centre, "充值中心": one purchase at a time. It loads the pay
// ways allowed for the game, shows the amount with the player's discount,
// lets the player pick a pay way and a voucher, places the order and
// carries the player through it (web page, wallet app, platform coins or
// voucher balance), polls the server every 2 s for the result of a web
// payment, and reports success or failure to the game through the two
// blocks of the entry call. The purchase (amounts, ids, voucher, blocks) is
// process-wide, so a centre on screen holds it: entry calls made meanwhile
// wait their turn (TVPurchaseHold) and open, one by one, once it has gone,
// or once the purchase it showed (TVPurchase) has reported when it still
// waited then; while they wait on such a purchase a HUD says "支付中...".
// Scene "TVNewPayVC" of the storyboard "TVNewPayVC". Main thread only;
// replies and the poll hold the screen weakly.

#include <cstdint>
#include <functional>
#include <memory>

#include "channel/pay/TVPayNoticeView.h"
#include "channel/pay/TVPurchase.h"
#include "channel/screens/TVBaseVC.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/ScrollView.h"
#include "ui/hud/sd_KXProgressHUD.h"

class TVNewPayVC : public TVBaseVC {
    RT_DECLARE_CLASS(TVNewPayVC)
public:
    using Text = TVPurchase::Text;
    using PaySuccess = TVPurchase::PaySuccess;
    using PayFailure = TVPurchase::PayFailure;

    // The pay styles.
    enum Style : uint64_t { WxH5 = 1, QuipayH5 = 2, Ptb = 3, Djq = 4, GFQuipay = 5, GFWx = 6 };

    // The purchase, shared by every payment centre.
    struct Purchase {
        Text roleId, serverId, fullAmount, currentAmount, discountedAmount, cpExtend, productName, productDesc;
        Text voucherId;
        PaySuccess success;
        PayFailure failure;
    };
    static Purchase& purchase();

    // The game's two blocks and the full amount of the purchase: an order's
    // reply reports to them even when it comes after the centre has gone or
    // a later purchase has begun.
    using Report = TVPurchase::Report;

    // While a centre is on screen the call waits, untouched, for it to go.
    // Otherwise it keeps the purchase; an amount that is no decimal number
    // (at least one digit, at most one point, nothing else) toasts
    // "金额格式异常" and opens nothing. Otherwise hides the floating ball
    // and presents the centre in a navigation controller, full screen, over
    // the top-most screen the top window's root presents; with no screen to
    // present from (or a presentation refused) the ball comes back and the
    // failure block hears of it. A call that opens nothing lets the next
    // waiting one go.
    static void loadToPayVCWithroleid(const Text& roleid, const Text& ServiceID, const Text& quiPayMoney,
                                      const Text& cpExtend, const Text& productName, const Text& productDesc,
                                      PaySuccess success, PayFailure faild);
    // The player logged out: the calls still waiting are dropped unopened,
    // each logged, none reported, and a purchase still waiting with no
    // screen holds no later one (it still reports to its own game). A
    // centre on screen stays, and holds.
    static void dropWaitingPurchases(std::string_view why);

    // "-" or "*" of two decimal texts, rounded down to 2 places, as text;
    // any other way gives "(null)". Never raises: a text that is no number
    // gives "NaN".
    static Text calculateMoney(const Text& money, const Text& money1, std::string_view way);
    // The amount gate.
    static bool isAmount(const ns::String* text);

    ~TVNewPayVC() override;
    void viewDidLoad() override;
    void viewDidLayoutSubviews() override;
    bool shouldAutorotate() const override { return false; }

    void initUI();
    // Asks for the pay ways under the HUD.
    void loadData();
    void doWXPay();
    void doQuipay();
    void doPtbPay();
    void doDjqPay();
    void doGFQuipay();
    void doGFWxPay();
    // The pay button: the order of the current style.
    void doPay();
    void goToCoupons();
    // Closes the centre; calls neither block.
    void popAction() override;
    // The purchase it shows (the entry call's).
    void setPurchase(std::shared_ptr<TVPurchase> purchase);
    // Its navigation controller has left the screen: closed by popAction,
    // or taken down with the screen it was presented over. Taken down under
    // a card that shows a result, the game hears it at once; otherwise the
    // purchase waits on for what the screens waited for (the page's return,
    // the wallet's answer, the poll under the card at "支付中...") and
    // reports it. A poll with no card stops, as at the player's close.
    void navigationGone();
    // Stops the poll; a reply still to come changes nothing.
    void pause();
    void resume();
    void loadTimer();
    void payWithFree();
    // The purchase's news for the card: a wallet's answer shown on it, and
    // the poll's end (confirmed, the card turns to success; given up, it
    // keeps "支付中..." with its failure).
    void showResult(const ns::Ref<ns::Error>& error, const Text& status);
    void pollEnded(bool paid);
    void setPayStyle(uint64_t style);
    void setPayViewWithPayStyle(uint64_t style, const ns::Ref<ui::Button>& currentBtn);

    const ns::Ref<TVPayNoticeView>& noticeView();
    const ns::Ref<ui::View>& coverView();
    uint64_t payStyle() const { return payStyle_; }
    uint64_t firstSelected() const { return firstSelected_; }
    float discount() const { return discount_; }
    bool isQuipayTwo() const { return isQuipayTwo_; }
    bool isWxpayTwo() const { return isWxpayTwo_; }
    bool isPolling() const { return purchase_ && purchase_->isPolling(); }
    const ns::Ref<sd_KXProgressHUD>& hud() const { return hud_; }
    ns::Ref<ui::Button> selectedIconBtn() const { return selectedIconBtn_.lock(); }

    // Outlets: the scene's view holds them.
    ns::Weak<ui::Label> productNameL, moneyL, realMoneyL, discountL, remainPtbL, remainDjqL;
    ns::Weak<ui::Button> quipayIconBtn, GFQuipayIconBtn, wxIconBtn, GFWxIconBtn, ptbIconBtn, djqIconBtn;
    ns::Weak<ui::ScrollView> scrollView;
    ns::Weak<ui::Button> payBtn, couponsBtn;
    ns::Weak<ui::LayoutConstraint> quipayViewH, GFQuipayViewH, wxViewH, GFWxViewH, ptbViewH, djqViewH;
    ns::Weak<ui::LayoutConstraint> infoLeft, typeLeft;

private:
    ns::Ref<ui::Button> buttonFor(uint64_t style) const;
    void choose(const char* way, uint64_t style);
    void payWaysReplied(const ns::Id& reply);
    void hideHUD();
    void setPayEnabled(bool enabled);
    // The notice card on the cover over the top window.
    void showNotice();
    void setNotice(const ns::Ref<ns::Error>& error, const Text& status);
    void logNotice();
    // The web, wallet and WeChat orders' common failure; code 11 is a free
    // payment. The game hears of it whether or not the centre is still there.
    static void webOrderFailed(const ns::Weak<TVNewPayVC>& weak, const Report& report, const Text& message);
    void openWebPay(const ns::Id& url, bool official, const char* title);
    void finish(const ns::Ref<ns::Error>& error, const Text& status);
    // The screen's part of closing: the purchase is left as it is.
    void leave();
    TVPurchase& purchaseShown();

    ns::Ref<sd_KXProgressHUD> hud_;
    uint64_t payStyle_ = 0;
    uint64_t firstSelected_ = 0;
    float discount_ = 1.0f;
    bool isQuipayTwo_ = false, isWxpayTwo_ = false;
    ns::Weak<ui::Button> selectedIconBtn_;
    ns::Ref<TVPayNoticeView> noticeView_;
    ns::Ref<ui::View> coverView_;
    // What the screens show: it outlives them while it still waits.
    std::shared_ptr<TVPurchase> purchase_;
    bool closed_ = false;
};
