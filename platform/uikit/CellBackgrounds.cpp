#include "platform/uikit/CellBackgrounds.h"

#include "platform/uikit/View.h"

namespace ui::detail {

void setBackgroundSubview(View& host, ns::Ref<View>& slot, const ns::Ref<View>& view) {
    if (slot && slot->superview().get() == &host) slot->removeFromSuperview();
    slot = view;
    if (view) {
        view->setFrame(host.bounds());
        host.insertSubview(view, 0);
    }
}

void CellBackgrounds::setBackgroundView(View& cell, const ns::Ref<View>& view) {
    if (background_ == view) return;
    setBackgroundSubview(cell, background_, view);
}

void CellBackgrounds::setSelectedBackgroundView(View& cell, const ns::Ref<View>& view, bool shown) {
    if (selectedBackground_ == view) return;
    if (selectedBackground_ && selectedBackground_->superview().get() == &cell) {
        selectedBackground_->removeFromSuperview();
    }
    selectedBackground_ = view;
    showSelected(cell, shown);
}

void CellBackgrounds::showSelected(View& cell, bool shown) {
    if (!selectedBackground_) return;
    bool present = selectedBackground_->superview().get() == &cell;
    if (shown == present) return;
    if (!shown) {
        selectedBackground_->removeFromSuperview();
        return;
    }
    selectedBackground_->setFrame(cell.bounds());
    // Above the plain background, below the content.
    if (background_ && background_->superview().get() == &cell) {
        cell.insertSubviewAbove(selectedBackground_, background_);
    } else {
        cell.insertSubview(selectedBackground_, 0);
    }
}

void CellBackgrounds::layout(View& cell) {
    cg::Rect bounds = cell.bounds();
    if (background_) background_->setFrame(bounds);
    if (selectedBackground_) selectedBackground_->setFrame(bounds);
}

}  // namespace ui::detail
