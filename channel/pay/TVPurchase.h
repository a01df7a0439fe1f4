#pragma once
// One purchase, from the entry call that opens its payment centre until the
// game has heard how it ended. The purchase, not a screen, waits for what
// tells the result (the web pay page's return, the wallet's answer, the
// order-status poll) and holds the report to the game; the centre and its
// card are views of it and may go at any time. Taken down by the game, the
// purchase keeps waiting for what its screen waited for, keeping itself and
// the purchase hold (later entry calls wait), and reports once: with the pay
// page up, the app's return starts the poll as the page's return would (at
// once when the app is active); with the wallet out, the wallet's answer (or
// the poll once the app is back without one); under the card at "支付中...",
// the poll's end. A logout lets the hold go; the purchase still reports to
// its own game. Main thread only.

#include <functional>
#include <memory>
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

    // `letGo` lets go of the purchase hold: called once, when the purchase
    // has ended or at a logout.
    static std::shared_ptr<TVPurchase> make(Report report, std::function<void()> letGo);
    ~TVPurchase();

    // The purchase that waits with no screen left, if any.
    static std::shared_ptr<TVPurchase> unseen();

    const Report& report() const { return report_; }
    // The centre that shows it; it holds the purchase, so held weakly.
    void setCentre(const std::shared_ptr<TVNewPayVC>& centre);

    // The web pay page is up for `user`'s order.
    void awaitPayPage(Text user);
    // Hands `order` to the wallet through the plug and waits for its answer.
    void awaitWallet(Text user, const ns::Ref<QuipayInfo>& order);
    // The page has told the player is back: the poll, first request at once.
    void startPoll();
    void stopPolling();
    // Whether poll requests are still to be sent.
    bool isPolling() const { return poll_ && poll_->isTicking(); }
    // Whether a confirmation may still come (the poll's requests answered
    // after its last tick included).
    bool awaitsConfirmation() const { return poll_ != nullptr; }
    // The player has left the centre: nothing more is awaited.
    void stopWaiting();
    // The result, told to the game once; nothing more is awaited.
    void settle(const ns::Ref<ns::Error>& error, const Text& status);
    // The centre's screens have gone. With nothing awaited the purchase ends
    // and lets the hold go; otherwise it waits on without them.
    void screenGone();
    // The player logged out: a purchase waiting with no screen lets the hold
    // go, and keeps waiting and reporting.
    void letGoOfHold(std::string_view why);
    // Whether later purchases still wait for it to end.
    bool holdsLaterPurchases() const { return letGo_ != nullptr; }

private:
    TVPurchase(Report report, std::function<void()> letGo) : report_(std::move(report)), letGo_(std::move(letGo)) {}
    bool isWaiting() const { return !reported_ && (pagePending_ || walletOut_ || poll_); }
    void walletAnswered(const ns::Ref<ns::Error>& error, const Text& text);
    void walletReplaced();
    void pollEnded(bool paid);
    // The app is back in front: what the pay page would have started.
    void appReturned();
    void observeReturn();
    void stopObserving();
    void end();

    Report report_;
    std::function<void()> letGo_;
    std::weak_ptr<TVNewPayVC> centre_;
    bool onScreen_ = false;
    bool reported_ = false;
    bool pagePending_ = false;
    // The wallet has been given an order (its string) and not answered.
    bool walletOut_ = false;
    Text walletOrder_;
    // The player whose order it is: the poll asks for them, whoever is
    // logged in by then.
    Text user_;
    std::shared_ptr<TVPayResultPoll> poll_;
    bool observing_ = false;
    // Set while it waits with no screen: nothing else holds it then.
    std::shared_ptr<TVPurchase> self_;
};
