#pragma once
// The player of scripts/run's road: looks at the screen every tenth of a
// second and, step by step, types the channel stand-in's known account into
// the login window, taps login, closes the notice and picks the first
// sub-account, then visits the user centre (CentreSteps.h). Each step is
// one log line "road: ...". It plays one login only: the page's login after
// its logout finds the form and stops there.
// Main thread only.

#include <functional>
#include <string>
#include <vector>

#include "platform/testing/UIDriver.h"
#include "sandbox/road/CentreSteps.h"

namespace road {

class RoadPlayer {
public:
    RoadPlayer(std::string user, std::string password);

    // Starts looking; returns at once.
    void start();

private:
    void look();

    std::string user_, password_;
    std::vector<Step> steps_;
    size_t next_ = 0;
    testing::UIDriver driver_;
};

}  // namespace road
