#pragma once
// The welfare tab: the gift-pack list on a paging scroll view of one page
// (the paging pattern of the server-openings tab, without a bar).

#include <cstdint>

#include "platform/runtime/Class.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/ViewController.h"

class TVSuWelfareVC : public ui::ViewController, public ui::ScrollViewDelegate {
    RT_DECLARE_CLASS(TVSuWelfareVC)
public:
    void viewDidLoad() override;
    uint64_t tabIndex() const { return tabIndex_; }

    void scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView) override;
    void scrollViewDidEndDecelerating(ui::ScrollView& scrollView) override;

    // Outlet: the scene's view holds it.
    ns::Weak<ui::ScrollView> scrollView;

private:
    uint64_t tabIndex_ = 0;
};
