#include "platform/uikit/ActivityIndicatorView.h"

#include <mutex>

#include "platform/uikit/Appearance.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/PlatformMetrics.h"

namespace ui {

RT_DEFINE_CLASS(ActivityIndicatorView, View, "UIActivityIndicatorView")

namespace {

void registerAppearance() {
    static std::once_flag once;
    std::call_once(once, [] {
        AppearanceRegistry::registerSetter(ActivityIndicatorView::staticClass(), "color",
                                           [](View& view, const ns::Id& value) {
                                               static_cast<ActivityIndicatorView&>(view).setColor(colorValue(value));
                                           });
    });
}

}  // namespace

cg::Size ActivityIndicatorView::sizeForStyle(ActivityIndicatorViewStyle style) {
    bool large = style == ActivityIndicatorViewStyle::WhiteLarge || style == ActivityIndicatorViewStyle::Large;
    return large ? ActivityIndicatorLargeSize : ActivityIndicatorMediumSize;
}

ActivityIndicatorView::ActivityIndicatorView(ActivityIndicatorViewStyle style)
    : View(cg::Rect{{0, 0}, sizeForStyle(style)}), style_(style) {
    registerAppearance();
    setUserInteractionEnabled(false);
    setOpaque(false);
    setHidden(true);
}

ActivityIndicatorView::ActivityIndicatorView(const cg::Rect& frame)
    : View(frame), style_(ActivityIndicatorViewStyle::White) {
    registerAppearance();
    setUserInteractionEnabled(false);
    setOpaque(false);
    setHidden(true);
}

ns::Ref<ActivityIndicatorView> ActivityIndicatorView::make(ActivityIndicatorViewStyle style) {
    return std::make_shared<ActivityIndicatorView>(style);
}

void ActivityIndicatorView::setActivityIndicatorViewStyle(ActivityIndicatorViewStyle style) {
    if (style == style_) return;
    style_ = style;
    cg::Point c = center();
    cg::Rect b = bounds();
    setBounds({b.origin, sizeForStyle(style)});
    setCenter(c);
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

cg::Color ActivityIndicatorView::color() const {
    if (color_) return *color_;
    bool white = style_ == ActivityIndicatorViewStyle::WhiteLarge || style_ == ActivityIndicatorViewStyle::White;
    return white ? whiteColor() : grayColor();
}

void ActivityIndicatorView::setColor(std::optional<cg::Color> color) {
    color_ = color;
    setNeedsDisplay();
}

void ActivityIndicatorView::setHidesWhenStopped(bool on) {
    hidesWhenStopped_ = on;
    if (!animating_) setHidden(on);
}

void ActivityIndicatorView::startAnimating() {
    if (animating_) return;
    animating_ = true;
    setHidden(false);
}

void ActivityIndicatorView::stopAnimating() {
    if (!animating_) return;
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

cg::Size ActivityIndicatorView::sizeThatFits(cg::Size) const { return sizeForStyle(style_); }

cg::Size ActivityIndicatorView::intrinsicContentSize() const { return sizeForStyle(style_); }

}  // namespace ui
