#pragma once
// The server-openings tab: the pill bar "已开服" / "即将开服" over a paging
// scroll view with one list per page. A list loads when its page first
// shows; the bar follows swipes and taps scroll to the page.

#include <cstdint>

#include "channel/usercenter/pages/TVTab.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/ViewController.h"

class TVSuKaiFuVC : public ui::ViewController, public TVTabDelegate, public ui::ScrollViewDelegate {
    RT_DECLARE_CLASS(TVSuKaiFuVC)
public:
    void viewDidLoad() override;
    // Made on first use.
    const ns::Ref<TVTab>& tabView();
    uint64_t tabIndex() const { return tabIndex_; }

    void tabDidSelectedItemNumber(TVTab& tab, int64_t index) override;
    void scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

    // Outlets: the scene's view holds them.
    ns::Weak<ui::View> tempView, bottomView;
    ns::Weak<ui::ScrollView> scrollView;

private:
    ns::Ref<TVTab> tabView_;
    uint64_t tabIndex_ = 0;
};
