#pragma once
// One purchase at a time: a purchase holds from the entry call that opens
// its payment centre until the centre has gone and nothing is left to
// report (TVPurchase); entry calls made meanwhile wait here, each with its
// own arguments and closures, and open one after another in the order they
// came. A logout drops the waiting ones unopened. Main thread only.

#include <cstdint>
#include <deque>
#include <optional>

#include "channel/pay/TVNewPayVC.h"

class TVPurchaseHold {
public:
    // An entry call of the payment centre.
    struct Call {
        TVNewPayVC::Text roleid, serviceID, money, cpExtend, productName, productDesc;
        TVNewPayVC::PaySuccess success;
        TVNewPayVC::PayFailure failure;
    };

    // Whether an entry call must wait: a centre holds the purchase, or calls
    // before it are still waiting for their turn.
    static bool busy();
    // Takes the hold for a centre about to open; its number, for release.
    static uint64_t take();
    static bool isCurrent(uint64_t hold);
    // Lets go of that hold; false when it is no longer the one held (a
    // centre is told it has gone once, but the ways it can go are several).
    static bool release(uint64_t hold);

    static void enqueue(Call call);
    static bool hasWaiting();
    // The oldest waiting call, unless a centre holds the purchase.
    static std::optional<Call> next();
    // Every waiting call, taken out.
    static std::deque<Call> dropWaiting();
};
