#pragma once
// The payment centre, "充值中心": one purchase at a time. It loads the pay
// ways allowed for the game, shows the amount with the player's discount,
// lets the player pick a pay way and a voucher, places the order and
// carries the player through it (web page, wallet app, platform coins or
// voucher balance). What tells the result (an order's reply, the page's
// return, the wallet's answer, the 2 s order-status poll) goes to the
// purchase it shows (TVPurchase), which alone reports to the game's blocks
// and holds later entry calls (TVPurchaseHold); the centre and its card
// show what the purchase tells them. Scene "TVNewPayVC" of the storyboard
// "TVNewPayVC". Main thread only; replies and the poll hold the screen
// weakly.

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

    // The order's details, shared by every payment centre: the entry call's
    // arguments, the amounts and the voucher chosen.
    struct OrderState {
        Text roleId, serverId, fullAmount, currentAmount, discountedAmount, cpExtend, productName, productDesc;
        Text voucherId;
    };
    static OrderState& orderState();

    // Keeps the call's arguments; an amount that is no decimal number (at
    // least one digit, at most one point, nothing else) toasts "金额格式异常"
    // and opens nothing. Otherwise hides the floating ball and presents the
    // centre in a navigation controller, full screen, over the top-most
    // screen the top window's root presents; with no screen to present from
    // (or a presentation refused) the ball comes back and the failure block
    // hears of it. While a purchase holds, the call waits, untouched, for
    // its turn (TVPurchaseHold). A call that opens nothing lets the next
    // waiting one go.
    static void loadToPayVCWithroleid(const Text& roleid, const Text& ServiceID, const Text& quiPayMoney,
                                      const Text& cpExtend, const Text& productName, const Text& productDesc,
                                      PaySuccess success, PayFailure faild);
    // The player logged out: the calls still waiting are dropped unopened,
    // each logged, none reported, and the purchase that holds releases the
    // hold as soon as no screen of it is left (it still reports to its own
    // game). A centre on screen stays, and holds.
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
    // The player's close: the centre leaves, and the purchase is told (a
    // card's result is reported, an order out still is).
    void popAction() override;
    // The purchase it shows (the entry call's).
    void setPurchase(std::shared_ptr<TVPurchase> purchase);
    // Its navigation controller has left the screen, dismissed with the
    // screen it was presented over: nothing of it stays over the game. The
    // purchase hears of it from the navigation, however it went.
    void navigationGone();
    // The card and its cover leave the top window.
    void removeCard();
    // The poll, as events of the purchase (a settled one ignores them):
    // `pause` stops it, a reply still to come changing nothing; `resume`
    // and `loadTimer` start it again.
    void pause();
    void resume();
    void loadTimer();
    void payWithFree();

    // What the purchase tells the screen: the web pay page for an order's
    // address; the card with a result; the card at "支付中..." (its preset
    // what leaving it reports) while the poll runs.
    void openPayPage(const ns::Id& url);
    void showCard(const ns::Ref<ns::Error>& error, const Text& status);
    void showConfirming(const ns::Ref<ns::Error>& error, const Text& status);
    // The HUD "支付中..." on the centre while its order waits for an earlier
    // purchase of its player; taken away when the order goes, or when it is
    // dropped (the pay button then works again).
    void showOrderWaiting(bool waiting, bool payEnabled = false);
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
    // Whether its purchase is choosing; if not, logs the order's amount and
    // `unchanged` (what is left as it was).
    bool choosing(const char* unchanged);
    void payWaysReplied(const ns::Id& reply);
    void hideHUD();
    void setPayEnabled(bool enabled);
    // The notice card on the cover over the top window.
    void showNotice();
    void setNotice(const ns::Ref<ns::Error>& error, const Text& status);
    void logNotice();
    // The card's tap: the cover goes, and the centre closes.
    void finish();
    // The screen's part of closing: the purchase is left as it is; the
    // screens the centre opened (its pay page, its voucher picker) go with
    // it.
    void leave();
    // A centre opened other than by the entry call shows a purchase of its
    // own, holding nothing.
    TVPurchase& purchase();

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
