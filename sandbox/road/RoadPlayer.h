#pragma once
// The player of scripts/run's road: looks at the screen every tenth of a
// second and, step by step, types the channel stand-in's known account into
// the login window, taps login, closes the notice and picks the first
// sub-account; visits the user centre (CentreSteps.h) while the page waits
// before its first order; then pays that order with platform coins and the
// second on the wallet's web pay page, going back to the app by the page's
// back button and closing the result card once the poll has confirmed it.
// From then on it also pays every later purchase (a store bundle, a resource card) with
// platform coins whenever a payment centre is ready. Each act is one log
// line "road: ..."; so is, every 10 s, what a step that finds nothing to act
// on waits for. It plays one login only: the page's login after its
// logout finds the form and stops there.
// Main thread only.

#include <functional>
#include <string>
#include <vector>

#include "platform/testing/UIDriver.h"
#include "platform/uikit/Button.h"
#include "sandbox/road/CentreSteps.h"

class TVNewPayVC;

namespace road {

class RoadPlayer {
public:
    RoadPlayer(std::string user, std::string password);

    // Starts looking; returns at once.
    void start();

private:
    void look();
    // Pays a payment centre that is ready and not paid yet with platform coins.
    void payLaterPurchase();
    // Picks the pay way of `row` in the centre and pays, played as the stage
    // whose line is `played`.
    void payWith(const char* played, ns::Weak<ui::Button> TVNewPayVC::*row);

    std::string user_, password_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    // Looks since the step before was taken.
    int looksWaiting_ = 0;
    // The step from which later purchases are paid as they come.
    size_t laterPurchasesFrom_ = 0;
    // The centre paid last: it stays on screen a moment after paying and is
    // never paid twice.
    ns::Weak<TVNewPayVC> paid_;
    testing::UIDriver driver_;
};

}  // namespace road
