#pragma once
// Makes the store, welfare and notice views for the facade. One settable
// maker per kind; a kind without a maker makes nil, and the facade logs
// "<ClassName> is not available" and goes on. The app installs every
// maker at start (shell/main.cpp: the stores' and the welfare module's
// install()); without them only the time-store banner has a view, its
// plain one, made by default. Tests install recording fakes and call
// reset() when done.
//
// Makers are set and called on the main queue; the lock only keeps a stray
// call from another thread from tearing a std::function.

#include <functional>
#include <mutex>

#include "aggregation/core/KVTRViews.h"

class KVTRViewFactory {
public:
    template <class V>
    using Maker = std::function<ns::Ref<V>()>;

    static KVTRViewFactory& shared();

    void setNoticeViewMaker(Maker<TRKVNoticeView> maker);
    void setGMShopViewMaker(Maker<KVTRGMShopView> maker);
    void setVerticalGMShopViewMaker(Maker<KVTRVerticalGMShopView> maker);
    // Nil restores the plain banner.
    void setTimePopViewMaker(Maker<KVTRTimePopView> maker);
    void setResourceHallViewMaker(Maker<KVTRResourceHallView> maker);
    void setVerResourceHallViewMaker(Maker<KVTRVerResourceHallView> maker);
    void setLuckyPlayerViewMaker(Maker<KVTRLuckyPlayerView> maker);
    void setVerticalLuckyPlayerViewMaker(Maker<KVTRVerticalLuckyPlayerView> maker);
    // Every maker back to the app's: none, and the plain banner.
    void reset();

    // A new view, or nil when its kind has no maker.
    ns::Ref<TRKVNoticeView> makeNoticeView() const;
    ns::Ref<KVTRGMShopView> makeGMShopView() const;
    ns::Ref<KVTRVerticalGMShopView> makeVerticalGMShopView() const;
    ns::Ref<KVTRTimePopView> makeTimePopView() const;
    ns::Ref<KVTRResourceHallView> makeResourceHallView() const;
    ns::Ref<KVTRVerResourceHallView> makeVerResourceHallView() const;
    ns::Ref<KVTRLuckyPlayerView> makeLuckyPlayerView() const;
    ns::Ref<KVTRVerticalLuckyPlayerView> makeVerticalLuckyPlayerView() const;

private:
    KVTRViewFactory() = default;
    template <class V>
    ns::Ref<V> make(const Maker<V>& maker) const;

    mutable std::mutex lock_;
    Maker<TRKVNoticeView> notice_;
    Maker<KVTRGMShopView> gmShop_;
    Maker<KVTRVerticalGMShopView> verticalGMShop_;
    Maker<KVTRTimePopView> timePop_;
    Maker<KVTRResourceHallView> resourceHall_;
    Maker<KVTRVerResourceHallView> verResourceHall_;
    Maker<KVTRLuckyPlayerView> luckyPlayer_;
    Maker<KVTRVerticalLuckyPlayerView> verticalLuckyPlayer_;
};
