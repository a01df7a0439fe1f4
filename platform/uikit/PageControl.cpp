#include "platform/uikit/PageControl.h"

#include <algorithm>

#include "platform/uikit/Color.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(PageControl, Control, "UIPageControl")

PageControl::PageControl() : PageControl(cg::Rect{}) {}

PageControl::PageControl(const cg::Rect& frame) : Control(frame) { setOpaque(false); }

ns::Ref<PageControl> PageControl::make(const cg::Rect& frame) { return std::make_shared<PageControl>(frame); }

void PageControl::setNumberOfPages(int64_t pages) {
    numberOfPages_ = std::max<int64_t>(pages, 0);
    currentPage_ = std::clamp<int64_t>(currentPage_, 0, std::max<int64_t>(numberOfPages_ - 1, 0));
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void PageControl::setCurrentPage(int64_t page) {
    currentPage_ = std::clamp<int64_t>(page, 0, std::max<int64_t>(numberOfPages_ - 1, 0));
    setNeedsDisplay();
}

void PageControl::setHidesForSinglePage(bool on) {
    hidesForSinglePage_ = on;
    setNeedsDisplay();
}

bool PageControl::showsIndicators() const { return numberOfPages_ > (hidesForSinglePage_ ? 1 : 0); }

void PageControl::setPageIndicatorTintColor(std::optional<cg::Color> color) {
    pageTint_ = color;
    setNeedsDisplay();
}

void PageControl::setCurrentPageIndicatorTintColor(std::optional<cg::Color> color) {
    currentTint_ = color;
    setNeedsDisplay();
}

cg::Size PageControl::sizeForNumberOfPages(int64_t pages) const {
    if (pages <= 0) return {0, Height};
    return {double(pages) * IndicatorDiameter + double(pages - 1) * IndicatorSpacing, Height};
}

cg::Size PageControl::sizeThatFits(cg::Size) const { return sizeForNumberOfPages(numberOfPages_); }

cg::Size PageControl::intrinsicContentSize() const { return sizeForNumberOfPages(numberOfPages_); }

void PageControl::endTrackingWithTouch(Touch* touch, Event* event) {
    Control::endTrackingWithTouch(touch, event);
    if (!touch || !isTouchInside() || numberOfPages_ == 0) return;
    int64_t before = currentPage_;
    bool back = touch->locationInView(this).x < bounds().midX();
    setCurrentPage(currentPage_ + (back ? -1 : 1));
    if (currentPage_ != before) sendActionsForControlEvents(ControlEventValueChanged, event);
}

bool PageControl::gestureRecognizerShouldBegin(GestureRecognizer& recognizer) {
    if (isEnabled() && blocksTapRecognizer(recognizer)) return false;
    return Control::gestureRecognizerShouldBegin(recognizer);
}

void PageControl::drawRect(const cg::Rect&) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context || !showsIndicators()) return;
    cg::Rect b = bounds();
    cg::Size row = sizeForNumberOfPages(numberOfPages_);
    double x = b.midX() - row.width / 2;
    double y = b.midY() - IndicatorDiameter / 2;
    for (int64_t i = 0; i < numberOfPages_; ++i) {
        bool current = i == currentPage_;
        context->setFillColor(current ? currentTint_.value_or(whiteColor())
                                      : pageTint_.value_or(colorWithWhite(1, 0.2)));
        context->fillEllipseInRect({x, y, IndicatorDiameter, IndicatorDiameter});
        x += IndicatorDiameter + IndicatorSpacing;
    }
}

}  // namespace ui
