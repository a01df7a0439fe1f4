#include "channel/pay/TVPurchase.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "channel/pay/TVNewPayVC.h"
#include "channel/pay/TVPayPlug.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Text.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/StateReset.h"
#include "quipay/QuipaySDK.h"

namespace {

std::weak_ptr<TVPurchase>& holdingPurchase() {
    static std::weak_ptr<TVPurchase> purchase;
    return purchase;
}

// Every purchase made, so that a test can end the ones it leaves behind.
std::vector<std::weak_ptr<TVPurchase>>& madePurchases() {
    static std::vector<std::weak_ptr<TVPurchase>> made;
    return made;
}

const char* nameOf(TVPurchase::Stage stage) {
    switch (stage) {
        case TVPurchase::Stage::Choosing: return "choosing";
        case TVPurchase::Stage::OrderWaiting: return "order waiting";
        case TVPurchase::Stage::Ordering: return "ordering";
        case TVPurchase::Stage::PayPage: return "pay page up";
        case TVPurchase::Stage::WalletOut: return "wallet out";
        case TVPurchase::Stage::Card: return "card";
        case TVPurchase::Stage::Polling: return "polling";
        case TVPurchase::Stage::Settled: return "settled";
    }
    return "?";
}

const char* nameOf(TVPurchase::Event event) {
    using Event = TVPurchase::Event;
    switch (event) {
        case Event::OrderSent: return "order sent";
        case Event::OrderPaid: return "order paid";
        case Event::OrderFailed: return "order failed";
        case Event::OrderFree: return "free order";
        case Event::PayPageReady: return "pay page ready";
        case Event::WalletOrderReady: return "wallet order ready";
        case Event::PayPageReturned: return "pay page returned";
        case Event::AppReturned: return "app returned";
        case Event::WalletAnswered: return "wallet answered";
        case Event::WalletReplaced: return "wallet order replaced";
        case Event::PollEnded: return "poll ended";
        case Event::Close: return "close";
        case Event::ScreensGone: return "screens gone";
        case Event::AccountEnded: return "account ended";
        case Event::Refused: return "refused";
        case Event::PollAsked: return "poll asked for";
        case Event::PollPaused: return "poll paused";
        case Event::PlayerPaysAgain: return "another purchase of its player";
        case Event::EarlierEnded: return "an earlier purchase of its player ended";
    }
    return "?";
}

bool appInFront() {
    return ui::Application::sharedApplication()->applicationState() == ui::ApplicationState::Active;
}

// The card's preset while the poll runs: what leaving it then reports.
ns::Ref<ns::Error> unconfirmed() {
    return ns::Error::make("支付失败", 1);
}

}  // namespace

void TVPurchase::Report::paid(const Text& text) const {
    if (success) success(text, fullAmount);
}

void TVPurchase::Report::failed(const Text& text, const ns::Id& code) const {
    if (failure) failure(text, code, fullAmount);
}

std::shared_ptr<TVPurchase> TVPurchase::make(Report report, std::function<void()> release,
                                             std::function<void()> ended) {
    // Each test starts with no purchase left over from the one before: one
    // still waiting would poll the next test's server and report into it.
    [[maybe_unused]] static const bool resetHooked = (ui::addSharedStateResetHook([] {
                                                          auto made = std::exchange(madePurchases(), {});
                                                          for (const auto& weak : made) {
                                                              auto left = weak.lock();
                                                              if (!left) continue;
                                                              left->report_ = {};
                                                              left->release_ = nullptr;
                                                              left->ended_ = nullptr;
                                                              left->walletOrder_ = nullptr;
                                                              left->end();
                                                          }
                                                          holdingPurchase().reset();
                                                      }),
                                                      true);
    bool holds = release != nullptr;
    auto purchase =
        std::shared_ptr<TVPurchase>(new TVPurchase(std::move(report), std::move(release), std::move(ended)));
    auto& made = madePurchases();
    std::erase_if(made, [](const auto& weak) { return weak.expired(); });
    made.push_back(purchase);
    if (holds) holdingPurchase() = purchase;
    return purchase;
}

TVPurchase::~TVPurchase() { stopObserving(); }

std::shared_ptr<TVPurchase> TVPurchase::holding() { return holdingPurchase().lock(); }

bool TVPurchase::sameName(const Text& a, const Text& b) {
    return (a ? a->utf8() : std::string()) == (b ? b->utf8() : std::string());
}

bool TVPurchase::earlierKeeps(const Text& player, const TVPurchase* self) {
    for (const auto& weak : std::vector(madePurchases()))
        if (auto purchase = weak.lock(); purchase && sameName(purchase->player_, player))
            purchase->on(Event::PlayerPaysAgain);
    auto earlier = keepingWaiting(player);
    return earlier && earlier.get() != self;
}

void TVPurchase::endedFor(const Text& player) {
    for (const auto& weak : std::vector(madePurchases()))
        if (auto purchase = weak.lock();
            purchase && purchase->stage_ == Stage::OrderWaiting && sameName(purchase->player_, player))
            purchase->on(Event::EarlierEnded);
}

std::shared_ptr<TVPurchase> TVPurchase::keepingWaiting(const Text& player) {
    for (const auto& weak : madePurchases())
        if (auto purchase = weak.lock(); purchase && purchase->holdsPlayer_ && sameName(purchase->player_, player))
            return purchase;
    return nullptr;
}

void TVPurchase::setCentre(const std::shared_ptr<TVNewPayVC>& centre) {
    centre_ = centre;
    onScreen_ = centre != nullptr;
    screensUp_ = onScreen_;
}

std::shared_ptr<TVNewPayVC> TVPurchase::shownOn() const {
    return onScreen_ ? centre_.lock() : nullptr;
}

bool TVPurchase::awaits() const {
    return stage_ == Stage::Ordering || stage_ == Stage::PayPage || stage_ == Stage::WalletOut ||
           stage_ == Stage::Polling;
}

void TVPurchase::on(Event event) { on(event, Outcome{}); }

// The machine. Events a stage cannot meet are logged and change nothing.
void TVPurchase::on(Event event, const Outcome& outcome) {
    auto keep = shared_from_this();
    auto centre = shownOn();
    auto ignored = [&] {
        ns::log("payment centre: \"%s\" at the stage \"%s\" of the payment of %@ yuan changes nothing",
                nameOf(event), nameOf(stage_), report_.fullAmount);
    };
    switch (event) {
        case Event::OrderSent:
            if (stage_ != Stage::Choosing) return ignored();
            // Its poll would ask for its player as an earlier one's does:
            // judged now, for the player the order is sent for (who may
            // have logged in only since the centre opened).
            if (outcome.confirmedByPoll && waitsForItsPlayer()) {
                stage_ = Stage::OrderWaiting;
                heldOrder_ = outcome.send;
                if (centre) centre->showOrderWaiting(true);
                return;
            }
            stage_ = Stage::Ordering;
            heldOrder_ = outcome.send;
            return sendOrder();

        case Event::EarlierEnded:
            if (stage_ != Stage::OrderWaiting || waitsForItsPlayer()) return;
            if (centre) centre->showOrderWaiting(false);
            stage_ = Stage::Ordering;
            return sendOrder();

        case Event::OrderPaid:
            if (stage_ != Stage::Ordering) return ignored();
            settle(nullptr, outcome.text);
            // Paid from a balance: nothing more to show.
            if (centre) centre->popAction();
            return;

        case Event::OrderFailed:
            if (stage_ != Stage::Ordering) return ignored();
            if (!centre) return settle(ns::Error::make("支付失败", 1), outcome.text, outcome.code);
            // The centre stays for another try.
            stage_ = Stage::Choosing;
            report_.failed(outcome.text, outcome.code);
            return;

        case Event::OrderFree:
            if (stage_ != Stage::Ordering) return ignored();
            if (!centre) return settle(nullptr, ns::str("支付成功"));
            stage_ = Stage::Card;
            return show(nullptr, ns::str("支付成功"));

        case Event::PayPageReady:
        case Event::WalletOrderReady:
            if (stage_ != Stage::Ordering) return ignored();
            if (!centre) {
                // Nothing has been paid, and nobody is there to pay.
                ns::log("payment centre: the order of the payment of %@ yuan came after its screens had gone; "
                        "nothing is opened",
                        report_.fullAmount);
                return end();
            }
            if (event == Event::WalletOrderReady) return handToWallet(ns::cast<QuipayInfo>(outcome.order));
            stage_ = Stage::PayPage;
            return centre->openPayPage(outcome.order);

        case Event::PayPageReturned:
            if (stage_ != Stage::PayPage || !centre) return ignored();
            shown_ = Shown{unconfirmed(), ns::str("支付失败")};
            centre->showConfirming(shown_->error, shown_->text);
            return startPoll();

        case Event::AppReturned:
            // On screen the page takes the return itself.
            if (stage_ == Stage::PayPage && !centre) return pollOffScreen();
            if (stage_ != Stage::WalletOut) return;
            // A wallet that has not answered by now is not going to: the
            // poll tells, and an answer that still comes wins.
            ns::log("payment centre: back from the wallet with no answer; the poll confirms the payment of %@ yuan",
                    report_.fullAmount);
            if (!centre) return pollOffScreen();
            shown_ = Shown{unconfirmed(), ns::str("支付失败")};
            centre->showConfirming(shown_->error, shown_->text);
            return startPoll();

        case Event::WalletAnswered:
            if (!walletOrder_ || (stage_ != Stage::WalletOut && stage_ != Stage::Polling)) {
                ns::log("wallet: %@ for a payment no longer waiting for the wallet; nothing changes", outcome.text);
                return;
            }
            // The plug has let go of the answered order.
            walletOrder_ = nullptr;
            stopPolling();
            stopObserving();
            if (!centre) return settle(outcome.error, outcome.text);
            stage_ = Stage::Card;
            return show(outcome.error, outcome.text);

        case Event::WalletReplaced:
            // No later order can be handed over while this one's centre is up.
            if (stage_ != Stage::WalletOut || centre) return ignored();
            ns::log("payment centre: the wallet order of the payment of %@ yuan was replaced; the poll confirms it",
                    report_.fullAmount);
            return pollOffScreen();

        case Event::PollEnded:
            if (stage_ != Stage::Polling) return ignored();
            poll_ = nullptr;
            if (!centre) {
                if (outcome.paid) return settle(nullptr, ns::str("支付成功"));
                if (walletOrder_ && !appInFront()) {
                    // The player is still in the wallet with its order (the
                    // poll began at a takedown in front, or at a return the
                    // wallet took the app from again): the answer or the
                    // return tells, as before the poll.
                    ns::log("payment centre: the poll ended with the app away and the wallet's order out; the payment "
                            "of %@ yuan waits for the wallet's answer or the app's return",
                            report_.fullAmount);
                    stage_ = Stage::WalletOut;
                    shown_.reset();
                    observeReturn();
                    return;
                }
                return settle(unconfirmed(), ns::str("支付失败"));
            }
            // The card turns to success, or keeps "支付中..." with its preset.
            forgetWallet();
            stage_ = Stage::Card;
            if (outcome.paid) show(nullptr, ns::str("支付成功"));
            return;

        case Event::Close:
            onScreen_ = false;
            switch (stage_) {
                case Stage::Card: return settleShown();
                case Stage::Polling:
                    if (shown_) return settleShown();
                    return end();
                // The held order never goes.
                case Stage::OrderWaiting: return end();
                // The reply still comes, and is reported.
                case Stage::Ordering: return;
                default: return end();
            }

        case Event::ScreensGone: {
            onScreen_ = false;
            screensUp_ = false;
            centre_.reset();
            // The stage the takedown met: the poll it may start moves it on.
            const Stage met = stage_;
            switch (stage_) {
                case Stage::Card: return settleShown();
                case Stage::Polling:
                    // A poll no card showed ends as at the player's close.
                    if (!shown_) return end();
                    break;
                case Stage::PayPage:
                case Stage::WalletOut:
                    // In an app in front no return is to come: the player is
                    // back already, or the wallet never took the app away. A
                    // wallet's answer that still comes wins over the poll.
                    if (appInFront()) pollOffScreen();
                    else observeReturn();
                    break;
                case Stage::Ordering: break;
                case Stage::OrderWaiting:
                    ns::log("payment centre: taken down while its order waited; the payment of %@ yuan ends "
                            "unreported",
                            report_.fullAmount);
                    return end();
                case Stage::Choosing:
                    // As at the player's close the game hears nothing; the
                    // log says why its call ended.
                    ns::log("payment centre: taken down while the player was choosing; the payment of %@ yuan ends "
                            "unreported",
                            report_.fullAmount);
                    return end();
                default: return end();
            }
            ns::log("payment centre: taken down %s; the payment of %@ yuan is still being confirmed",
                    met == Stage::Polling   ? "under the pay notice"
                    : met == Stage::PayPage ? "with the pay page up"
                    : met == Stage::Ordering ? "with its order out"
                                             : "with the wallet out",
                    report_.fullAmount);
            self_ = keep;
            if (accountEnded_) releaseHold("its player has gone");
            return;
        }

        case Event::AccountEnded:
            accountEnded_ = true;
            if (!screensUp_) releaseHold(outcome.why);
            if (stage_ == Stage::OrderWaiting) {
                // Its player has gone: the order is not sent for nobody.
                ns::log("payment centre: %s; the order of the payment of %@ yuan that waited is not sent",
                        std::string(outcome.why), report_.fullAmount);
                heldOrder_ = nullptr;
                stage_ = Stage::Choosing;
                if (centre) centre->showOrderWaiting(false, true);
            }
            return;

        case Event::Refused:
            if (stage_ != Stage::Choosing) return ignored();
            return settle(ns::Error::make("支付失败", 1), ns::str("无法打开充值中心"), ns::str("1"));

        case Event::PollAsked:
            // An order out, or a page whose return starts the poll, waits for
            // its own; a settled purchase has nothing to confirm.
            if (stage_ == Stage::OrderWaiting || stage_ == Stage::Ordering || stage_ == Stage::PayPage ||
                stage_ == Stage::Settled)
                return ignored();
            return startPoll();

        case Event::PollPaused:
            if (stage_ != Stage::Polling) return ignored();
            return stopPolling();

        case Event::PlayerPaysAgain:
            // Heard each time another purchase of its player is about to
            // open (at once, when nothing else holds it). While its poll asks for its
            // player's payment, or will once the player is back (no screen
            // left to take the return), the next one of theirs waits: its
            // poll would ask with the same request.
            if (stage_ == Stage::Polling ||
                (!screensUp_ && (stage_ == Stage::PayPage || stage_ == Stage::WalletOut)))
                holdsPlayer_ = true;
            return;
    }
}

bool TVPurchase::waitsForItsPlayer() {
    if (!earlierKeeps(player_, this)) return false;
    ns::log("payment centre: a payment of the same player is still being confirmed; the order of the payment of %@ "
            "yuan waits for it",
            report_.fullAmount);
    return true;
}

void TVPurchase::sendOrder() {
    if (auto send = std::exchange(heldOrder_, nullptr)) send();
}

void TVPurchase::settle(const ns::Ref<ns::Error>& error, const Text& text, const ns::Id& code) {
    if (stage_ == Stage::Settled) return;
    auto keep = shared_from_this();
    stage_ = Stage::Settled;
    stopPolling();
    stopObserving();
    forgetWallet();
    if (error) report_.failed(text, code ? code : ns::str("1"));
    else report_.paid(text);
    if (!onScreen_) end();
}

// A card that never came up has nothing to report.
void TVPurchase::settleShown() {
    if (!shown_) return end();
    auto result = *shown_;
    settle(result.error, result.text);
}

void TVPurchase::show(const ns::Ref<ns::Error>& error, const Text& text) {
    shown_ = Shown{error, text};
    if (auto centre = shownOn()) centre->showCard(error, text);
}

void TVPurchase::handToWallet(const ns::Ref<QuipayInfo>& order) {
    auto plug = TVPayPlug::sharedInstance();
    plug->quipayInfo = order;
    plug->payWay = TVPayPlug::kPayWayQuipay;
    walletOrder_ = plug->orderString();
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    plug->doPay(
        [weak](uint64_t, const Text& text, const ns::Ref<ns::Error>& error) {
            if (auto self = weak.lock()) self->on(Event::WalletAnswered, {.error = error, .text = text});
        },
        [weak] {
            if (auto self = weak.lock()) self->on(Event::WalletReplaced);
        });
    // A wallet the SDK could not reach answers nothing; the SDK has logged it.
    if (!QuipaySDK::defaultService()->isAwaiting(walletOrder_)) {
        walletOrder_ = nullptr;
        stage_ = Stage::Choosing;
        return;
    }
    stage_ = Stage::WalletOut;
    // The player's return with no answer is awaited too, on screen or off.
    observeReturn();
}

void TVPurchase::forgetWallet() {
    if (auto order = std::exchange(walletOrder_, nullptr)) TVPayPlug::sharedInstance()->forget(order);
}

void TVPurchase::startPoll() {
    stage_ = Stage::Polling;
    stopObserving();
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    poll_ = TVPayResultPoll::start(player_, [weak](bool paid) {
        if (auto self = weak.lock()) self->on(Event::PollEnded, {.paid = paid});
    });
}

void TVPurchase::pollOffScreen() {
    shown_ = Shown{unconfirmed(), ns::str("支付失败")};
    startPoll();
}

// A poll stopped before its end leaves the card with what it shows.
void TVPurchase::stopPolling() {
    poll_ = nullptr;
    if (stage_ == Stage::Polling) stage_ = Stage::Card;
}

void TVPurchase::observeReturn() {
    if (observing_) return;
    observing_ = true;
    std::weak_ptr<TVPurchase> weak = weak_from_this();
    ns::NotificationCenter::defaultCenter()->addObserver(this, ui::ApplicationDidBecomeActiveNotification, nullptr,
                                                         [weak](const auto&) {
                                                             if (auto self = weak.lock()) self->on(Event::AppReturned);
                                                         });
}

void TVPurchase::stopObserving() {
    if (!observing_) return;
    observing_ = false;
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
}

void TVPurchase::releaseHold(std::string_view why) {
    if (!release_) return;
    if (awaits())
        ns::log("payment centre: %s; the payment of %@ yuan still being confirmed holds no later purchase",
                std::string(why), report_.fullAmount);
    if (holdingPurchase().lock().get() == this) holdingPurchase().reset();
    std::exchange(release_, nullptr)();
}

void TVPurchase::end() {
    auto keep = shared_from_this();
    stage_ = Stage::Settled;
    stopPolling();
    stopObserving();
    forgetWallet();
    heldOrder_ = nullptr;
    self_ = nullptr;
    const bool heldPlayer = std::exchange(holdsPlayer_, false);
    // A closing centre holds the next until it has gone: until then the
    // next would be presented on it, and dismissed with it.
    if (!screensUp_) releaseHold("ended");
    if (auto ended = std::exchange(ended_, nullptr)) ended();
    // Orders of its player that waited for it may go.
    if (heldPlayer) endedFor(player_);
}
