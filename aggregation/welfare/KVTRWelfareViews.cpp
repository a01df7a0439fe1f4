#include "aggregation/welfare/KVTRWelfareViews.h"

#include "aggregation/core/KVTRViewFactory.h"
#include "aggregation/welfare/KVTRLuckyPlayerViews.h"
#include "aggregation/welfare/KVTRResourceHall.h"

void KVTRWelfareViews::install() {
    auto& factory = KVTRViewFactory::shared();
    factory.setResourceHallViewMaker([] { return std::make_shared<KVTRResourceHall>(); });
    factory.setVerResourceHallViewMaker([] { return std::make_shared<KVTRVerResourceHall>(); });
    factory.setLuckyPlayerViewMaker([] { return std::make_shared<KVTRLuckyPlayerPopView>(); });
    factory.setVerticalLuckyPlayerViewMaker([] { return std::make_shared<KVTRVerticalLuckyPlayerPopView>(); });
}
