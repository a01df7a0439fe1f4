#pragma once
// A view that shows a solid colour (style 0) or a blur with a colour under
// it (style 1, the default). The per-view HUD uses one as its bezel and one
// as its full-size background.
//
// Main thread only.

#include <cstdint>
#include <mutex>

#include "platform/uikit/View.h"
#include "platform/uikit/VisualEffectView.h"

enum class sd_KXProgressHUDBackgroundStyle : int64_t { SolidColor = 0, Blur = 1 };

class sd_KXBackgroundView : public ui::View {
    RT_DECLARE_CLASS(sd_KXBackgroundView)
public:
    sd_KXBackgroundView();
    explicit sd_KXBackgroundView(const cg::Rect& frame);

    sd_KXProgressHUDBackgroundStyle style() const { return style_; }
    // A changed value reinstalls the style.
    void setStyle(sd_KXProgressHUDBackgroundStyle style);
    const cg::Color& color() const { return color_; }
    void setColor(const cg::Color& color);
    // The blur view while the style is blur.
    ns::Ref<ui::VisualEffectView> effectView() const;

    cg::Size intrinsicContentSize() const override { return {0, 0}; }
    void layoutSubviews() override;

private:
    void updateForBackgroundStyle();
    void updateViewsForColor(const cg::Color& color);

    sd_KXProgressHUDBackgroundStyle style_ = sd_KXProgressHUDBackgroundStyle::Blur;
    cg::Color color_ = cg::Color::fromWhite(0.8, 0.6);
    mutable std::mutex effectLock_;
    ns::Ref<ui::VisualEffectView> effectView_;
};
