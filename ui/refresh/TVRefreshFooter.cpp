#include "ui/refresh/TVRefreshFooter.h"

#include "ui/refresh/TVExtension.h"
#include "ui/refresh/TVRefreshScrollView.h"

RT_DEFINE_CLASS(TVRefreshFooter, TVRefreshComponent, "TVRefreshFooter")

void TVRefreshFooter::prepare() {
    TVRefreshComponent::prepare();
    setTV_h(*this, TVRefreshFooterHeight);
    automaticallyHidden_ = false;
}

void TVRefreshFooter::endRefreshingWithNoMoreData() { setState(TVRefreshState::NoMoreData); }

void TVRefreshFooter::willMoveToSuperview(ui::View* newSuperview) {
    TVRefreshComponent::willMoveToSuperview(newSuperview);
    if (!newSuperview) return;
    auto scrollView = this->scrollView();
    if (!scrollView || !(scrollView->isKindOf(ui::TableView::staticClass()) ||
                         scrollView->isKindOf(ui::CollectionView::staticClass())))
        return;
    // The closure holds the footer; the scroll view owns both.
    auto footer = ref<TVRefreshFooter>();
    setTV_reloadDataBlock(*scrollView, [footer](int64_t totalDataCount) {
        if (footer->isAutomaticallyHidden()) footer->setHidden(totalDataCount == 0);
    });
}
