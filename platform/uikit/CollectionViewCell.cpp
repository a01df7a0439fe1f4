#include "platform/uikit/CollectionViewCell.h"

namespace ui {

RT_DEFINE_CLASS(CollectionReusableView, View, "UICollectionReusableView")
RT_DEFINE_CLASS(CollectionViewCell, CollectionReusableView, "UICollectionViewCell")

CollectionViewCell::CollectionViewCell() : CollectionViewCell(cg::Rect{}) {}

CollectionViewCell::CollectionViewCell(const cg::Rect& frame) : CollectionReusableView(frame) {
    contentView_ = View::make(bounds());
    contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

void CollectionViewCell::setBackgroundView(const ns::Ref<View>& view) {
    if (backgroundView_ == view) return;
    if (backgroundView_ && backgroundView_->superview().get() == this) backgroundView_->removeFromSuperview();
    backgroundView_ = view;
    if (view) {
        view->setFrame(bounds());
        insertSubview(view, 0);
    }
}

void CollectionViewCell::setSelectedBackgroundView(const ns::Ref<View>& view) {
    if (selectedBackgroundView_ == view) return;
    if (selectedBackgroundView_ && selectedBackgroundView_->superview().get() == this) {
        selectedBackgroundView_->removeFromSuperview();
    }
    selectedBackgroundView_ = view;
    updateBackgrounds();
}

void CollectionViewCell::setSelected(bool selected) {
    selected_ = selected;
    updateBackgrounds();
}

void CollectionViewCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    updateBackgrounds();
}

void CollectionViewCell::updateBackgrounds() {
    if (!selectedBackgroundView_) return;
    bool show = selected_ || highlighted_;
    bool shown = selectedBackgroundView_->superview().get() == this;
    if (show == shown) return;
    if (!show) {
        selectedBackgroundView_->removeFromSuperview();
        return;
    }
    selectedBackgroundView_->setFrame(bounds());
    // Above the plain background, below the content.
    if (backgroundView_ && backgroundView_->superview().get() == this) {
        insertSubviewAbove(selectedBackgroundView_, backgroundView_);
    } else {
        insertSubview(selectedBackgroundView_, 0);
    }
}

void CollectionViewCell::prepareForReuse() {
    CollectionReusableView::prepareForReuse();
    setSelected(false);
    setHighlighted(false);
}

void CollectionViewCell::layoutSubviews() {
    CollectionReusableView::layoutSubviews();
    cg::Rect b = bounds();
    if (backgroundView_) backgroundView_->setFrame(b);
    if (selectedBackgroundView_) selectedBackgroundView_->setFrame(b);
}

}  // namespace ui
