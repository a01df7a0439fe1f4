#pragma once
// The base of the footers: 44 points high, below the content; a complete
// list puts it in NoMoreData, where nothing loads until it is reset.

#include "ui/refresh/TVRefreshComponent.h"

class TVRefreshFooter : public TVRefreshComponent {
    RT_DECLARE_CLASS(TVRefreshFooter)
public:
    template <class T = TVRefreshFooter>
    static ns::Ref<T> footerWithRefreshingBlock(Block block) {
        auto footer = make<T>();
        footer->setRefreshingBlock(std::move(block));
        return footer;
    }
    template <class T = TVRefreshFooter>
    static ns::Ref<T> footerWithRefreshingTarget(const ns::Ref<ns::Object>& target, Action action) {
        auto footer = make<T>();
        footer->setRefreshingTarget(target, std::move(action));
        return footer;
    }

    // NoMoreData at once (back footers post it).
    virtual void endRefreshingWithNoMoreData();
    void noticeNoMoreData() { endRefreshingWithNoMoreData(); }
    void resetNoMoreData() { setState(TVRefreshState::Idle); }

    double ignoredScrollViewContentInsetBottom() const { return ignoredScrollViewContentInsetBottom_; }
    void setIgnoredScrollViewContentInsetBottom(double inset) { ignoredScrollViewContentInsetBottom_ = inset; }
    // When on, reloading a table or collection hides the footer while it is empty.
    bool isAutomaticallyHidden() const { return automaticallyHidden_; }
    void setAutomaticallyHidden(bool on) { automaticallyHidden_ = on; }

    void willMoveToSuperview(ui::View* newSuperview) override;

protected:
    void prepare() override;

private:
    double ignoredScrollViewContentInsetBottom_ = 0;
    bool automaticallyHidden_ = false;
};
