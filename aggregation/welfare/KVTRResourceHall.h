#pragma once
// The resource hall: the window in which the game's "openResourseStore"
// ends. Three tabs: the infinite-resource cards with the goods' rule, the
// welfare turntable and the super turntable, each with its rule text in the
// rule panel. It closes by its close button, or as soon as any card posts
// "KVTRResourcePAYNotification" (the facade carries the order on).
//
// The facade knows the hall as KVTRResourceHallView (landscape) and
// KVTRVerResourceHallView (portrait); KVTRResourceHall and
// KVTRVerResourceHall are their screens, one template with the two layouts.
// Sizes come from the main screen when the hall is built; it does not lay
// itself out again. Main thread only, except closeClick, which the
// notification may run on the posting queue.

#include <functional>
#include <vector>

#include "aggregation/core/KVTRViews.h"
#include "aggregation/welfare/KVTRInfiniterItem.h"
#include "aggregation/welfare/KVTRTurntable.h"
#include "platform/foundation/MutableArray.h"
#include "platform/uikit/Button.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TextView.h"

template <class Base, bool Portrait>
class ResourceHall : public Base {
public:
    ResourceHall();
    ~ResourceHall() override;

    // Optional; run by closeClick (the facade sets none).
    std::function<void()> closeBlock;
    ns::Ref<ui::Button> coverView;
    ns::Ref<ui::ImageView> titleImg;
    ns::Ref<ui::Button> closeBtn;
    ns::Ref<ui::Button> rebtn1, rebtn2, rebtn3;
    ns::Ref<ui::TextView> descTextView;
    // The rule panel holding descTextView: landscape at the side, portrait
    // at the bottom (tabs 2 and 3 only).
    ns::Ref<ui::ImageView> descImage;
    // Portrait: a scroll view with the tab-1 rule panel below the cards.
    ns::Ref<ui::View> initerView;
    ns::Ref<ui::ImageView> redescImage;
    ns::Ref<ui::TextView> redescTextView;
    ns::Ref<ui::View> welfareView, superwelfareView;
    // The wheels on welfareView and superwelfareView.
    ns::Ref<KVTRTurntable> welfare, superwelfare;
    std::vector<ns::Ref<KVTRInfiniterItem>> cards;

    // The goods entries and the rules of the three tabs.
    const ns::Ref<ns::MutableArray>& resourceListArray();
    ns::Ref<ns::String> resourcerule;
    ns::Ref<ns::String> welfarerule() const { return welfare->rule; }
    ns::Ref<ns::String> superwelfarerule() const { return superwelfare->rule; }
    // The centre tips on screen.
    const std::vector<ns::Ref<ui::Label>>& tipsArray() const { return tips_; }

    void setResponseData(const ns::Ref<ns::Dictionary>& reply) override;
    void show() override;
    void Clickrebtn(ui::Control& sender);
    void closeClick();
    void setInfiniterView();
    void getInfiniteresWelfareData() { welfare->load(this->userInfo); }
    void getInfiniteresSuperWelfareData() { superwelfare->load(this->userInfo); }
    // Shows the centre prize's name (super for tag 101) for a second.
    void tapCenterImg(ui::View& centre);
    void removeTips();

private:
    void buildLandscape();
    void buildPortrait();
    ns::Ref<ui::Button> makeTab(const cg::Rect& frame, const char* image);
    ns::Ref<ui::TextView> makeRuleText(const cg::Rect& frame);
    void addWheels();

    ns::Ref<ns::MutableArray> list_;
    std::vector<ns::Ref<ui::Label>> tips_;
};

class KVTRResourceHall : public ResourceHall<KVTRResourceHallView, false> {
    RT_DECLARE_CLASS(KVTRResourceHall)
};

class KVTRVerResourceHall : public ResourceHall<KVTRVerResourceHallView, true> {
    RT_DECLARE_CLASS(KVTRVerResourceHall)
};
