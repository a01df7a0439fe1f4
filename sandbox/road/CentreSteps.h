#pragma once
// The road player's visit to the user centre after login: the ball tapped
// into view and again, the five tabs, a gift pack claimed and its code
// copied, then back to the game. Each step plays one stage of the road
// (RoadStageList.h).

#include <functional>
#include <string>
#include <vector>

#include "platform/testing/UIDriver.h"

namespace road {

struct Step {
    // What the step waits for (RoadStageList.h).
    const char* waitingFor;
    std::function<bool()> act;  // true when the step was taken
    // What keeps it waiting when it knows (kNothingOnTheScreen otherwise).
    std::function<const char*()> obstacle = {};
};

// The steps, in order; `driver` outlives them.
std::vector<Step> centreSteps(testing::UIDriver& driver);

}  // namespace road
