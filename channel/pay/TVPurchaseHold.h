#pragma once
// One purchase at a time: a purchase (TVPurchase) holds from the entry call
// that opens its payment centre until it releases the hold; entry calls
// made meanwhile wait here, each with its own arguments and closures, and
// open one after another in the order they came. An entry call also waits
// while an earlier purchase of its player polls for its confirmation, or
// will once the player is back (the order-status request names the player
// alone); that is judged each time the call is about to open. A logout, or a login as
// another account, drops the waiting ones unopened. Also the entry call's
// way to its centre: the amount gate and the presentation; a centre that
// cannot be opened is its purchase's to report. Main thread only.

#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>

#include "channel/pay/TVNewPayVC.h"

class TVPurchaseHold {
public:
    // An entry call of the payment centre, the player logged in then, and
    // the account the game was told of (the sub-account chosen).
    struct Call {
        TVNewPayVC::Text roleid, serviceID, money, cpExtend, productName, productDesc;
        TVNewPayVC::PaySuccess success;
        TVNewPayVC::PayFailure failure;
        TVNewPayVC::Text player;
        TVNewPayVC::Text account;
    };

    // Opens the call's centre, or lets it wait its turn.
    static void enter(Call call);
    // The player logged out (or another logged in): the waiting calls are
    // dropped, each logged, none reported; the holding purchase releases
    // the hold once no screen of it is left.
    static void dropWaiting(std::string_view why);
    // A login that told the game of `account` (the sub-account chosen): a
    // change of account ends the session as a logout.
    static void loggedIn(const TVNewPayVC::Text& account);

    // Whether an entry call must wait: a purchase holds, or calls before it
    // are still waiting for their turn.
    static bool busy();
    static bool hasWaiting();

private:
    static uint64_t take();
    static bool isCurrent(uint64_t hold);
    static void release(uint64_t hold);
    static void open(Call call);
    static void refuse(const std::shared_ptr<TVPurchase>& purchase, const char* why);
    static bool keptByItsPlayer(const Call& call);
    static void openNextSoon();
};
