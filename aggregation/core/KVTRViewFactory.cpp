#include "aggregation/core/KVTRViewFactory.h"

namespace {

ns::Ref<KVTRTimePopView> makePlainTimePopView() {
    return std::make_shared<KVTRTimePopView>();
}

}  // namespace

KVTRViewFactory& KVTRViewFactory::shared() {
    static KVTRViewFactory* factory = [] {
        auto* made = new KVTRViewFactory();
        made->reset();
        return made;
    }();
    return *factory;
}

template <class V>
ns::Ref<V> KVTRViewFactory::make(const Maker<V>& maker) const {
    Maker<V> copy;
    {
        std::lock_guard<std::mutex> hold(lock_);
        copy = maker;
    }
    // Called outside the lock: a maker may itself ask the factory for a view.
    return copy ? copy() : nullptr;
}

void KVTRViewFactory::setNoticeViewMaker(Maker<TRKVNoticeView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    notice_ = std::move(maker);
}

void KVTRViewFactory::setGMShopViewMaker(Maker<KVTRGMShopView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    gmShop_ = std::move(maker);
}

void KVTRViewFactory::setVerticalGMShopViewMaker(Maker<KVTRVerticalGMShopView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    verticalGMShop_ = std::move(maker);
}

void KVTRViewFactory::setTimePopViewMaker(Maker<KVTRTimePopView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    timePop_ = maker ? std::move(maker) : Maker<KVTRTimePopView>(makePlainTimePopView);
}

void KVTRViewFactory::setResourceHallViewMaker(Maker<KVTRResourceHallView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    resourceHall_ = std::move(maker);
}

void KVTRViewFactory::setVerResourceHallViewMaker(Maker<KVTRVerResourceHallView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    verResourceHall_ = std::move(maker);
}

void KVTRViewFactory::setLuckyPlayerViewMaker(Maker<KVTRLuckyPlayerView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    luckyPlayer_ = std::move(maker);
}

void KVTRViewFactory::setVerticalLuckyPlayerViewMaker(Maker<KVTRVerticalLuckyPlayerView> maker) {
    std::lock_guard<std::mutex> hold(lock_);
    verticalLuckyPlayer_ = std::move(maker);
}

void KVTRViewFactory::reset() {
    std::lock_guard<std::mutex> hold(lock_);
    notice_ = nullptr;
    gmShop_ = nullptr;
    verticalGMShop_ = nullptr;
    timePop_ = makePlainTimePopView;
    resourceHall_ = nullptr;
    verResourceHall_ = nullptr;
    luckyPlayer_ = nullptr;
    verticalLuckyPlayer_ = nullptr;
}

ns::Ref<TRKVNoticeView> KVTRViewFactory::makeNoticeView() const {
    return make(notice_);
}
ns::Ref<KVTRGMShopView> KVTRViewFactory::makeGMShopView() const {
    return make(gmShop_);
}
ns::Ref<KVTRVerticalGMShopView> KVTRViewFactory::makeVerticalGMShopView() const {
    return make(verticalGMShop_);
}
ns::Ref<KVTRTimePopView> KVTRViewFactory::makeTimePopView() const {
    return make(timePop_);
}
ns::Ref<KVTRResourceHallView> KVTRViewFactory::makeResourceHallView() const {
    return make(resourceHall_);
}
ns::Ref<KVTRVerResourceHallView> KVTRViewFactory::makeVerResourceHallView() const {
    return make(verResourceHall_);
}
ns::Ref<KVTRLuckyPlayerView> KVTRViewFactory::makeLuckyPlayerView() const {
    return make(luckyPlayer_);
}
ns::Ref<KVTRVerticalLuckyPlayerView> KVTRViewFactory::makeVerticalLuckyPlayerView() const {
    return make(verticalLuckyPlayer_);
}
