#include <cstdlib>

#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/welfare/KVTRWelfareViews.h"
#include "platform/uikit/MainInterface.h"
#include "sandbox/road/RoadStages.h"

int main() {
    // The SDK's own screens: the facade makes them through its view factory.
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    // scripts/run has the player's part of the sample road played.
    if (std::getenv("GAMEHOST_ROAD")) sandbox::RoadStages::start();
    return ui::applicationMain("AppDelegate");
}
