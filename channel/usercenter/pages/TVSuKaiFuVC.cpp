#include "channel/usercenter/pages/TVSuKaiFuVC.h"

#include "channel/usercenter/pages/TVKaifuBaseVC.h"
#include "channel/usercenter/pages/TVSuPaging.h"
#include "channel/usercenter/pages/TVSuPageScenes.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/SceneRegistry.h"

RT_DEFINE_CLASS(TVSuKaiFuVC, ui::ViewController, "TVSuKaiFuVC")

// The bar's holder at the top, the paging lists below it.
UI_STORYBOARD_SCENE("TVSuspendVC", "TVSuKaiFuVC", TVSuKaiFuVC, [](TVSuKaiFuVC& owner) -> ns::Ref<ui::View> {
    auto root = TVSuPageScenes::pageRoot();
    auto holder = ui::View::make({75, 10, 150, 30});
    root->addSubview(holder);
    auto scroll = TVSuPageScenes::pagingScrollView(50);
    root->addSubview(scroll);
    owner.tempView = holder;
    owner.scrollView = scroll;
    owner.bottomView = scroll;
    return root;
})

const ns::Ref<TVTab>& TVSuKaiFuVC::tabView() {
    if (tabView_) return tabView_;
    tabView_ = TVTab::initWithFrame({0, 0, 150, 30}, 1, TVSuPageScenes::kOrange);
    tabView_->setItemsWithTitle({"已开服", "即将开服"}, cg::Color::white(), TVSuPageScenes::kOrange,
                                TVSuPageScenes::kOrange, cg::Color::white(), 14, 0);
    tabView_->setDelegate(std::shared_ptr<TVTabDelegate>(ref<TVSuKaiFuVC>()));
    tabView_->layer()->setCornerRadius(15);
    return tabView_;
}

void TVSuKaiFuVC::viewDidLoad() {
    ui::ViewController::viewDidLoad();
    if (auto holder = tempView.lock()) holder->addSubview(tabView());
    for (const char* display : {"1", "0"}) {
        auto list = std::make_shared<TVKaifuBaseVC>();
        list->setIs_display(ns::str(display));
        addChildViewController(list);
    }
    auto scroll = scrollView.lock();
    if (!scroll) return;
    scroll->setContentSize({600, 0});
    scroll->setDelegate(std::shared_ptr<ui::ScrollViewDelegate>(ref<TVSuKaiFuVC>()));
    scroll->setShowsHorizontalScrollIndicator(false);
    scroll->setPagingEnabled(true);
    scrollViewDidEndScrollingAnimation(*scroll);
}

void TVSuKaiFuVC::scrollViewDidEndScrollingAnimation(ui::ScrollView& scrollView) {
    TVSuPaging::loadShownChild(scrollView, childViewControllers());
}

void TVSuKaiFuVC::scrollViewDidEndDecelerating(ui::ScrollView& scrollView) {
    size_t index = TVSuPaging::loadShownChild(scrollView, childViewControllers());
    if (index != tabIndex_) {
        tabIndex_ = index;
        tabView()->setTabStateIndex(index);
    }
}

void TVSuKaiFuVC::tabDidSelectedItemNumber(TVTab&, int64_t index) {
    if (index < 0 || static_cast<uint64_t>(index) == tabIndex_) return;
    tabIndex_ = static_cast<uint64_t>(index);
    auto scroll = scrollView.lock();
    if (!scroll) return;
    scroll->setContentOffset({scroll->bounds().size.width * static_cast<double>(index), scroll->contentOffset().y},
                             true);
}
