#pragma once
// Plays the player's part of the sample road after login on the app's own
// screens, through the UI driver as a person would: claims each lucky,
// daily and activity gift pop-up, buys the first time-store bundle (two
// optional gifts chosen), draws once on the welfare and once on the super
// turntable, closes each prize pop-up and buys the first resource card it
// may buy. Each act is one console line "road: ..."; the acts that are the
// road's stages (RoadStageList.h) are counted, and while nothing is done the
// screens' next stage is said to be waited for every 10 s.
//
// It looks at the screen every `interval` seconds of the main run loop and
// does at most one act per look, the frontmost thing first: a prize pop-up,
// a gift pop-up, the resource hall, the store hall. Main thread only.

#include <memory>
#include <string>

namespace sandbox {

class RoadStages {
public:
    RoadStages();
    ~RoadStages();

    // Starts looking on a new road (road::progress() reset); a second start
    // restarts. stop() ends it.
    static void start(double interval = 0.25);
    static void stop();

    // One look: the act done, or empty when there was nothing to do.
    std::string step();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace sandbox
