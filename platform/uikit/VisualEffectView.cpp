#include "platform/uikit/VisualEffectView.h"

#include "platform/foundation/Format.h"

namespace ui {

RT_DEFINE_CLASS(VisualEffect, ns::Object, "UIVisualEffect")
RT_DEFINE_CLASS(BlurEffect, VisualEffect, "UIBlurEffect")
RT_DEFINE_CLASS(VisualEffectView, View, "UIVisualEffectView")

bool BlurEffect::isEqual(const ns::Object* other) const {
    auto blur = dynamic_cast<const BlurEffect*>(other);
    return blur && blur->style_ == style_;
}

std::string BlurEffect::description() const { return ns::format("<UIBlurEffect: style %d>", int(style_)); }

VisualEffectView::VisualEffectView(ns::Ref<VisualEffect> effect) : effect_(std::move(effect)) {
    contentView_ = View::make(bounds());
    contentView_->setAutoresizingMask(ViewAutoresizingFlexibleWidth | ViewAutoresizingFlexibleHeight);
    addSubview(contentView_);
}

ns::Ref<VisualEffectView> VisualEffectView::make(ns::Ref<VisualEffect> effect) {
    return std::make_shared<VisualEffectView>(std::move(effect));
}

}  // namespace ui
