// gamehost-road: the app as gamehost runs it (same resources, same
// addresses from the environment), with a stand-in player for the channel's
// login screens. scripts/run runs it against gamehost-sandbox.

#include <stdlib.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/welfare/KVTRWelfareViews.h"
#include "platform/uikit/MainInterface.h"
#include "sandbox/road/RoadPlayer.h"
#include "sandbox/road/RoadStageList.h"
#include "sandbox/road/RoadStages.h"

namespace {

constexpr const char* kUsage =
    "usage: gamehost-road [--stages]\n"
    "  The app with a stand-in player who plays the sample road (scripts/run starts it).\n"
    "  --stages  prints the road's stages, one a line: its track, what is waited for\n"
    "            before it and the pattern of its line, tab-separated\n";

// The channel stand-in's known account unless the environment names another.
std::string fromEnvironment(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value && *value ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string_view option = argc == 2 ? argv[1] : "";
    // The road's stages, for scripts/run to judge the road by.
    if (option == "--stages") {
        std::fputs(road::printedList().c_str(), stdout);
        return 0;
    }
    if (argc != 1) {
        const bool help = option == "--help" || option == "-h";
        std::fputs(kUsage, help ? stdout : stderr);
        return help ? 0 : 2;
    }
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
