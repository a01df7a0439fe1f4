#pragma once
// One purchase, from the entry call that opens its payment centre until the
// game has heard how it ended. The purchase alone reports to the game's two
// blocks (a centre that could not be opened included), and it alone
// releases the purchase hold (later entry calls wait on it); the centre and
// its card are views of it and may go at any time.
//
// It is a small machine: a stage, and events that can come at any stage.
// `on` (TVPurchase.cpp) is the one place that says what each event does at
// each stage: what the game hears, whether the hold is kept, what the
// centre is told to show. In short:
//  - Choosing (the centre up, nothing out): the close or the screens' going
//    ends it unreported; a centre that could not be opened fails. An order
//    a poll would confirm waits (OrderWaiting) while an earlier purchase of
//    its player polls, or will: judged as it is sent, for the order's
//    player, and again when that one ends.
//  - OrderWaiting (the order held back): sent once no earlier one of its
//    player is being confirmed; the close or the screens' going ends it
//    unreported, the account's end drops the order (back to Choosing).
//  - Ordering (an order request out): every reply ends in one report (a
//    failure on screen goes back to Choosing for a retry); the page or
//    wallet of a reply that finds the screens gone is not opened.
//  - PayPage (the web pay page up): the page's return, or the app's once
//    the screens have gone, starts the poll.
//  - WalletOut (the wallet has the order): its answer shows on the card or,
//    off screen, is reported; the app's return with no answer starts the
//    poll (under a card at "支付中..." on screen), as does the screens'
//    going in an app in front, and an answer that still comes wins.
//  - Card (a result known and shown): the player's tap or the screens'
//    going, however they go, reports it.
//  - Polling: the poll's end turns the card (on screen) or is reported;
//    off screen, a poll that ends unpaid while the app is away with the
//    wallet's order out reports nothing: the purchase waits again for the
//    wallet's answer or the app's return (WalletOut), which polls again.
//  - Settled: nothing more is heard; the centre's poll calls are ignored.
// An ended purchase releases the hold once its screens have gone: until
// then the next centre would be presented on the closing one and dismissed
// with it. A logout, or a login as another account, releases the hold at
// once with no screen left, or when the screens go; the purchase still
// reports to its own blocks. While it polls, or will once the player is
// back with no screen of it left, a new purchase of the same player waits
// for it to end (judged each time the new one is about to open): the
// order-status request names the player alone. Only while nothing is out
// (choosing) may the player change the order's way or voucher. Main thread
// only.

#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "channel/TVPayResults.h"
#include "channel/pay/TVPayResultPoll.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"

class TVNewPayVC;

class TVPurchase : public std::enable_shared_from_this<TVPurchase> {
public:
    using Text = ns::Ref<ns::String>;
    // (text, amount)
    using PaySuccess = std::function<void(const Text& text, const Text& amount)>;
    // (text, code, amount): the code a text such as "1", "3", "501" or the
    // server's own code object.
    using PayFailure = std::function<void(const Text& text, const ns::Id& code, const Text& amount)>;

    // The game's two blocks and the full amount of the entry call.
    struct Report {
        PaySuccess success;
        PayFailure failure;
        Text fullAmount;
        void paid(const Text& text) const;
        void failed(const Text& text, const ns::Id& code) const;
    };

    enum class Stage { Choosing, OrderWaiting, Ordering, PayPage, WalletOut, Card, Polling, Settled };

    enum class Event {
        OrderSent,         // the pay button: an order is to go (`send` sends it)
        OrderPaid,         // a coin or voucher order paid
        OrderFailed,       // an order refused, or the server unreached
        OrderFree,         // a web or wallet order that costs nothing
        PayPageReady,      // a web order's page address
        WalletOrderReady,  // a wallet order, to hand to the wallet
        PayPageReturned,   // the page says the player is back
        AppReturned,       // the app is in front again
        WalletAnswered,    // the wallet answered this purchase's order
        WalletReplaced,    // a later order took the wallet unanswered
        PollEnded,         // `paid` of the outcome tells how
        Close,             // the player's close: the centre's, or a tap on its card
        ScreensGone,       // the centre's navigation left the screen, however it went
        AccountEnded,      // a logout, or a login as another account
        Refused,           // its centre could not be opened
        PollAsked,         // the centre asks for the poll (its `loadTimer`, `resume`)
        PollPaused,        // the centre stops the poll (its `pause`)
        PlayerPaysAgain,   // another purchase of its player is about to open
        EarlierEnded,      // an earlier purchase of its player has ended
    };

    // What an event brings.
    struct Outcome {
        ns::Ref<ns::Error> error;
        Text text;
        // A failed order's code (a text, or the server's own object).
        ns::Id code;
        // The page address, or the wallet order (QuipayInfo).
        ns::Id order;
        bool paid = false;
        // Why the account ended, for the log.
        std::string_view why;
        // The order's request, and whether a poll confirms its payment (a
        // web or wallet order), at OrderSent.
        std::function<void()> send;
        bool confirmedByPoll = false;
    };

    // `release` releases the purchase hold: called once, when the purchase
    // has ended and its screens have gone, or at a logout. `ended` is called
    // once, when it has ended.
    static std::shared_ptr<TVPurchase> make(Report report, std::function<void()> release,
                                            std::function<void()> ended = nullptr);
    ~TVPurchase();

    // The purchase that holds the hold, if any.
    static std::shared_ptr<TVPurchase> holding();
    // Whether two players' (or accounts') names are the same, nil counting
    // as empty.
    static bool sameName(const Text& a, const Text& b);
    // Whether an earlier purchase of `player` keeps a new one of theirs
    // waiting, judged now: each of theirs first hears of the new one
    // (PlayerPaysAgain), as one may have begun to poll since. `self`, the
    // new one when it is already made, does not keep itself.
    static bool earlierKeeps(const Text& player, const TVPurchase* self = nullptr);
    // The purchase of `player` the next of theirs waits for, if any: the
    // order-status request names the player alone, so two polls of one
    // player would take each other's confirmation.
    static std::shared_ptr<TVPurchase> keepingWaiting(const Text& player);
    // The purchases of `player` whose orders wait for an earlier one of
    // theirs hear that one has ended (EarlierEnded).
    static void endedFor(const Text& player);
    // Whether no screen of it is left (entry calls waiting on it are told a
    // payment is still being confirmed).
    bool isUnseen() const { return !screensUp_; }

    const Report& report() const { return report_; }
    Stage stage() const { return stage_; }
    // Whether the order may still be changed (its way, its voucher) or
    // sent: nothing is out, and nothing is being confirmed.
    bool isChoosing() const { return stage_ == Stage::Choosing; }
    // The centre that shows it; it holds the purchase, so held weakly.
    void setCentre(const std::shared_ptr<TVNewPayVC>& centre);
    // The player whose order it is: the poll asks for them, whoever is
    // logged in by then.
    void setPlayer(Text player) { player_ = std::move(player); }

    void on(Event event, const Outcome& outcome);
    void on(Event event);

    bool isPolling() const { return poll_ && poll_->isTicking(); }

private:
    TVPurchase(Report report, std::function<void()> release, std::function<void()> ended)
        : report_(std::move(report)), release_(std::move(release)), ended_(std::move(ended)) {}
    // The poll: started with no card unless one is up already; stopped, the
    // card keeps what it shows.
    void startPoll();
    void stopPolling();
    std::shared_ptr<TVNewPayVC> shownOn() const;
    bool awaits() const;
    // Tells the game, once; the purchase is settled.
    void settle(const ns::Ref<ns::Error>& error, const Text& text, const ns::Id& code = nullptr);
    void settleShown();
    // The card shows `result`; on screen only.
    void show(const ns::Ref<ns::Error>& error, const Text& text);
    void handToWallet(const ns::Ref<QuipayInfo>& order);
    void forgetWallet();
    void pollOffScreen();
    void observeReturn();
    void stopObserving();
    void releaseHold(std::string_view why);
    void end();
    // Whether an earlier purchase of its player keeps its order waiting,
    // judged now (logged when one does).
    bool waitsForItsPlayer();
    void sendOrder();

    Report report_;
    std::function<void()> release_;
    std::function<void()> ended_;
    // Another purchase of its player waits for it to end.
    bool holdsPlayer_ = false;
    Stage stage_ = Stage::Choosing;
    std::weak_ptr<TVNewPayVC> centre_;
    // Whether the player has the centre (false once it closes), and whether
    // its screens are still up (until they have gone, closing or not).
    bool onScreen_ = false;
    bool screensUp_ = false;
    bool accountEnded_ = false;
    // The card's result (what a tap on it, or its going, reports) while a
    // card shows one.
    struct Shown {
        ns::Ref<ns::Error> error;
        Text text;
    };
    std::optional<Shown> shown_;
    // The order held back while an earlier purchase of its player is
    // being confirmed.
    std::function<void()> heldOrder_;
    // The wallet's order (its string) while an answer to it is awaited.
    Text walletOrder_;
    Text player_;
    std::shared_ptr<TVPayResultPoll> poll_;
    bool observing_ = false;
    // Set while it waits with no screen: nothing else holds it then.
    std::shared_ptr<TVPurchase> self_;
};
