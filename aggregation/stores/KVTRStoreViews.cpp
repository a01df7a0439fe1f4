#include "aggregation/stores/KVTRStoreViews.h"

#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/stores/KVTRStoreHallView.h"
#include "aggregation/stores/KVTRTimeBannerView.h"
#include "aggregation/stores/TRKVNoticeView.h"

void KVTRStoreViews::install() {
    auto& factory = KVTRViewFactory::shared();
    factory.setGMShopViewMaker([] { return std::make_shared<KVTRStoreHallView>(); });
    factory.setVerticalGMShopViewMaker([] { return std::make_shared<KVTRVerticalStoreHallView>(); });
    factory.setNoticeViewMaker([] { return std::make_shared<TRKVNoticePopView>(); });
    factory.setTimePopViewMaker([] { return std::make_shared<KVTRTimeBannerView>(); });
}
