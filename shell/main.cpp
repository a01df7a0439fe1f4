#include "aggregation/stores/KVTRStoreViews.h"
#include "platform/uikit/MainInterface.h"

int main() {
    // The SDK's own screens: the facade makes them through its view factory.
    KVTRStoreViews::install();
    return ui::applicationMain("AppDelegate");
}
