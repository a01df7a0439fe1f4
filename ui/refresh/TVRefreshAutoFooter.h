#pragma once
// A footer that loads by itself: when the user scrolls to the end of the
// content, when a drag ends with the end in view, or (state footers) on a
// tap of its title. While shown it keeps its height in the scroll view's
// bottom inset and sits right below the content.

#include "ui/refresh/TVRefreshFooter.h"

class TVRefreshAutoFooter : public TVRefreshFooter {
    RT_DECLARE_CLASS(TVRefreshAutoFooter)
public:
    bool isAutomaticallyRefresh() const { return automaticallyRefresh_; }
    void setAutomaticallyRefresh(bool on) { automaticallyRefresh_ = on; }
    // How much of the footer must be in view before loading starts (0 ... 1).
    double triggerAutomaticallyRefreshPercent() const { return triggerPercent_; }
    void setTriggerAutomaticallyRefreshPercent(double percent) { triggerPercent_ = percent; }
    // The older name.
    double appearencePercentTriggerAutoRefresh() const { return triggerPercent_; }
    void setAppearencePercentTriggerAutoRefresh(double percent) { triggerPercent_ = percent; }

    void setHidden(bool hidden) override;
    void setState(TVRefreshState state) override;
    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void prepare() override;
    void scrollViewContentSizeDidChange(const ns::KeyValueChange* change) override;
    void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) override;
    void scrollViewPanStateDidChange(const ns::KeyValueChange* change) override;

private:
    bool automaticallyRefresh_ = true;
    double triggerPercent_ = 1.0;
};
