#pragma once
// Headers: above the content; pulled down past their height they show
// Pulling, and letting go holds them open (the scroll view's top inset grows
// by their height) while the owner reloads. endRefreshing closes them and
// stores the time of the refresh in the user defaults under
// lastUpdatedTimeKey.

#include <string>

#include "platform/foundation/Date.h"
#include "ui/refresh/TVRefreshComponent.h"

class TVRefreshHeader : public TVRefreshComponent {
    RT_DECLARE_CLASS(TVRefreshHeader)
public:
    template <class T = TVRefreshHeader>
    static ns::Ref<T> headerWithRefreshingBlock(Block block) {
        auto header = make<T>();
        header->setRefreshingBlock(std::move(block));
        return header;
    }
    template <class T = TVRefreshHeader>
    static ns::Ref<T> headerWithRefreshingTarget(const ns::Ref<ns::Object>& target, Action action) {
        auto header = make<T>();
        header->setRefreshingTarget(target, std::move(action));
        return header;
    }

    const std::string& lastUpdatedTimeKey() const { return lastUpdatedTimeKey_; }
    virtual void setLastUpdatedTimeKey(std::string key) { lastUpdatedTimeKey_ = std::move(key); }
    // The stored time of the last refresh, or nil.
    ns::Ref<ns::Date> lastUpdatedTime() const;
    double ignoredScrollViewContentInsetTop() const { return ignoredScrollViewContentInsetTop_; }
    void setIgnoredScrollViewContentInsetTop(double inset);
    double insetTDelta() const { return insetTDelta_; }

    void setState(TVRefreshState state) override;
    // Posts Idle to the main queue.
    void endRefreshing() override;

protected:
    void prepare() override;
    void placeSubviews() override;
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;

private:
    std::string lastUpdatedTimeKey_;
    double ignoredScrollViewContentInsetTop_ = 0;
    double insetTDelta_ = 0;
};
