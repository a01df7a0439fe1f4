#include "aggregation/stores/KVTRStoreViews.h"
#include "aggregation/welfare/KVTRWelfareViews.h"
#include "platform/uikit/MainInterface.h"

int main() {
    // The SDK's own screens: the facade makes them through its view factory.
    KVTRStoreViews::install();
    KVTRWelfareViews::install();
    return ui::applicationMain("AppDelegate");
}
