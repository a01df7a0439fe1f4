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

void CollectionViewCell::setBackgroundView(const ns::Ref<View>& view) { backgrounds_.setBackgroundView(*this, view); }

void CollectionViewCell::setSelectedBackgroundView(const ns::Ref<View>& view) {
    backgrounds_.setSelectedBackgroundView(*this, view, selected_ || highlighted_);
}

void CollectionViewCell::setSelected(bool selected) {
    selected_ = selected;
    backgrounds_.showSelected(*this, selected_ || highlighted_);
}

void CollectionViewCell::setHighlighted(bool highlighted) {
    highlighted_ = highlighted;
    backgrounds_.showSelected(*this, selected_ || highlighted_);
}

void CollectionViewCell::prepareForReuse() {
    CollectionReusableView::prepareForReuse();
    setSelected(false);
    setHighlighted(false);
}

void CollectionViewCell::layoutSubviews() {
    CollectionReusableView::layoutSubviews();
    backgrounds_.layout(*this);
}

}  // namespace ui
