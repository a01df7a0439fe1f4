// gamehost-road: the app as gamehost runs it (same resources, same
// addresses from the environment), with a stand-in player for the channel's
// login screens. scripts/run runs it against gamehost-sandbox.

#include <stdlib.h>

#include <cstdlib>
#include <string>

#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/welfare/KVTRWelfareViews.h"
#include "platform/uikit/MainInterface.h"
#include "sandbox/road/RoadPlayer.h"
#include "sandbox/road/RoadStages.h"

namespace {

// The channel stand-in's known account unless the environment names another.
std::string fromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

int main() {
    // gamehost's own bundle unless the environment names another.
    ::setenv("GAMEHOST_RESOURCES", fromEnvironment("GAMEHOST_RESOURCES", GAMEHOST_ROAD_RESOURCES).c_str(), 1);
    road::RoadPlayer player(fromEnvironment("GAMEHOST_ROAD_USER", "player1"),
                            fromEnvironment("GAMEHOST_ROAD_PASSWORD", "pass123"));
    player.start();
    // The screens gamehost installs, and the player's part after login.
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    sandbox::RoadStages::start();
    return ui::applicationMain("AppDelegate");
}
