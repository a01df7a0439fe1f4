#include "channel/pay/TVPurchase.h"

#include <utility>

#include "channel/ShareVale.h"
#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayPlug.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "quipay/QuipaySDK.h"

namespace {

std::weak_ptr<TVPurchase>& unseenPurchase() {
    static std::weak_ptr<TVPurchase> purchase;
    return purchase;
}

// Each test starts with no purchase left over from the one before.
[[maybe_unused]] const bool resetHooked = (ui::addSharedStateResetHook([] { unseenPurchase().reset(); }), true);

}  // namespace

void TVPurchase::Report::paid(const Text& text) const {
    if (success) success(text, fullAmount);
}

void TVPurchase::Report::failed(const Text& text, const ns::Id& code) const {
    if (failure) failure(text, code, fullAmount);
}

std::shared_ptr<TVPurchase> TVPurchase::make(Report report, std::function<void()> letGo) {
    return std::shared_ptr<TVPurchase>(new TVPurchase(std::move(report), std::move(letGo)));
}

TVPurchase::~TVPurchase() { stopObserving(); }

std::shared_ptr<TVPurchase> TVPurchase::unseen() { return unseenPurchase().lock(); }

void TVPurchase::setCentre(const std::shared_ptr<TVNewPayVC>& centre) {
    centre_ = centre;
    onScreen_ = centre != nullptr;
}

void TVPurchase::awaitPayPage(Text user) {
    user_ = std::move(user);
    pagePending_ = true;
}

void TVPurchase::awaitWallet(Text user, const ns::Ref<QuipayInfo>& order) {
    user_ = std::move(user);
    auto plug = TVPayPlug::sharedInstance();
    plug->quipayInfo = order;
    plug->payWay = TVPayPlug::kPayWayQuipay;
    walletOrder_ = plug->orderString();
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    plug->doPay(
        [weak](uint64_t, const Text& text, const ns::Ref<ns::Error>& error) {
            if (auto self = weak.lock()) self->walletAnswered(error, text);
        },
        [weak] {
            if (auto self = weak.lock()) self->walletReplaced();
        });
    // A wallet the SDK could not reach answers nothing; the SDK has logged it.
    walletOut_ = QuipaySDK::defaultService()->isAwaiting(walletOrder_);
}

// On screen every answer shows on the card until the player taps it; off
// screen the first one is reported.
void TVPurchase::walletAnswered(const ns::Ref<ns::Error>& error, const Text& text) {
    auto centre = centre_.lock();
    bool shown = onScreen_ && centre;
    if (reported_ || (!walletOut_ && !shown)) {
        ns::log("wallet: %@ for a payment no longer waiting for the wallet; nothing changes", text);
        return;
    }
    walletOut_ = false;
    walletOrder_ = nullptr;
    stopPolling();
    stopObserving();
    if (shown) centre->showResult(error, text);
    else settle(error, text);
}

// A later wallet order took the wallet SDK's one payment: its answer may no
// longer be told from this one's, so the order-status poll tells.
void TVPurchase::walletReplaced() {
    if (!walletOut_ || reported_ || poll_) return;
    ns::log("payment centre: the wallet order of the payment of %@ yuan was replaced; the poll confirms it",
            report_.fullAmount);
    startPoll();
}

void TVPurchase::startPoll() {
    if (!user_) user_ = ShareVale::sharedInstance()->userName();
    pagePending_ = false;
    stopObserving();
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    poll_ = TVPayResultPoll::start(user_, [weak](bool paid) {
        if (auto self = weak.lock()) self->pollEnded(paid);
    });
}

void TVPurchase::stopPolling() { poll_ = nullptr; }

void TVPurchase::pollEnded(bool paid) {
    poll_ = nullptr;
    auto centre = centre_.lock();
    // On screen the card shows it, and the player's tap reports it.
    if (onScreen_ && centre) return centre->pollEnded(paid);
    // Off screen, what the card would have told: confirmed, or its preset.
    if (paid) settle(nullptr, ns::str("支付成功"));
    else settle(ns::Error::make("支付失败", 1), ns::str("支付失败"));
}

void TVPurchase::stopWaiting() {
    pagePending_ = false;
    stopPolling();
    stopObserving();
    if (walletOut_) TVPayPlug::sharedInstance()->forget(walletOrder_);
    walletOut_ = false;
    walletOrder_ = nullptr;
}

void TVPurchase::settle(const ns::Ref<ns::Error>& error, const Text& status) {
    if (reported_) return;
    auto keep = shared_from_this();
    reported_ = true;
    stopWaiting();
    if (error) report_.failed(status, ns::str("1"));
    else report_.paid(status);
    if (!onScreen_) end();
}

void TVPurchase::screenGone() {
    onScreen_ = false;
    centre_.reset();
    if (!isWaiting()) return end();
    const char* where = poll_ ? "under the pay notice" : pagePending_ ? "with the pay page up" : "with the wallet out";
    ns::log("payment centre: taken down %s; the payment of %@ yuan is still being confirmed", where,
            report_.fullAmount);
    self_ = shared_from_this();
    unseenPurchase() = self_;
    if (poll_) return;
    // What the page's return would have started; the player is back already
    // when the app is in front.
    if (pagePending_ && ui::Application::sharedApplication()->applicationState() == ui::ApplicationState::Active)
        return startPoll();
    observeReturn();
}

void TVPurchase::observeReturn() {
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    ns::NotificationCenter::defaultCenter()->addObserver(this, ui::ApplicationDidBecomeActiveNotification, nullptr,
                                                         [weak](const auto&) {
                                                             if (auto self = weak.lock()) self->appReturned();
                                                         });
}

void TVPurchase::stopObserving() {
    if (!observing_) return;
    observing_ = false;
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

// A wallet that has not answered by now is not going to: the poll tells,
// and an answer that still comes wins.
void TVPurchase::appReturned() {
    stopObserving();
    if (isWaiting() && !poll_) startPoll();
}

void TVPurchase::letGoOfHold(std::string_view why) {
    if (!letGo_) return;
    ns::log("payment centre: %s; the payment of %@ yuan still being confirmed holds no later purchase",
            std::string(why), report_.fullAmount);
    std::exchange(letGo_, nullptr)();
}

void TVPurchase::end() {
    auto keep = shared_from_this();
    stopWaiting();
    self_ = nullptr;
    if (unseenPurchase().lock() == keep) unseenPurchase().reset();
    if (auto letGo = std::exchange(letGo_, nullptr)) letGo();
}
