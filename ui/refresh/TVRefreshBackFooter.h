#pragma once
// A footer pulled up from below the content, as a header is pulled down:
// past its height it shows Pulling, letting go holds it in view by growing
// the scroll view's bottom inset while the next page loads, and ending lets
// it spring back. It never loads by itself and adds no inset while idle.

#include "ui/refresh/TVRefreshFooter.h"

class TVRefreshBackFooter : public TVRefreshFooter {
    RT_DECLARE_CLASS(TVRefreshBackFooter)
public:
    int64_t lastRefreshCount() const { return lastRefreshCount_; }
    double lastBottomDelta() const { return lastBottomDelta_; }
    // How far the content reaches below the visible area (negative when short).
    double heightForContentBreakView() const;
    // The offset at which the footer starts to come into view.
    double happenOffsetY() const;

    // Both posted to the main queue.
    void endRefreshing() override;
    void endRefreshingWithNoMoreData() override;
    void setState(TVRefreshState state) override;
    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void scrollViewContentSizeDidChange(const ns::KeyValueChange* change) override;
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;

private:
    int64_t lastRefreshCount_ = 0;
    double lastBottomDelta_ = 0;
};
