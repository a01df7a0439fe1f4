#include "channel/usercenter/pages/TVSuWelfareVC.h"

#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "channel/usercenter/pages/TVSuPaging.h"
#include "channel/usercenter/pages/TVWelfareBaseVC.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuWelfareVC, ui::ViewController, "TVSuWelfareVC")

// A heading strip, then the paging list.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuWelfareVC", TVSuWelfareVC, [](TVSuWelfareVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    auto heading = ui::Label::make({15, 0, 270, 44});
    heading->setText("礼包中心");
    root->addSubview(heading);
    auto scroll = TVSuPageScenes::pagingScrollView(44);
    root->addSubview(scroll);
    owner.scrollView = scroll;
    return root;
})

void TVSuWelfareVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    addChildViewController(std::make_shared<TVWelfareBaseVC>());
    auto scroll = scrollView.lock();
    if (!scroll) return;
    scroll->setContentSize({300, 0});
    scroll->setDelegate(std::shared_ptr<ui::ScrollViewDelegate>(ref<TVSuWelfareVC>()));
    scroll->setShowsHorizontalScrollIndicator(false);
    scroll->setPagingEnabled(true);
    scrollViewDidEndScrollingAnimation(*scroll);
}

void TVSuWelfareVC::scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView) {
    TVSuPaging::loadShownChild(scrollView, childViewControllers());
}

void TVSuWelfareVC::scrollViewDidEndDecelerating(ui::ScrollView& scrollView) {
    tabIndex_ = TVSuPaging::loadShownChild(scrollView, childViewControllers());
}
