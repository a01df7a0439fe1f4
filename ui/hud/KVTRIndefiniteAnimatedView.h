#pragma once
// The status HUD's flat spinner: a ring whose visible arc circles without
// end. It spins from the moment its layer is made (when the view enters a
// superview) until the layer is dropped (when it leaves); it has no start or
// stop of its own.
//
// Main thread only.

#include <optional>

#include "platform/uikit/ShapeLayer.h"
#include "platform/uikit/View.h"

class KVTRIndefiniteAnimatedView : public ui::View {
    RT_DECLARE_CLASS(KVTRIndefiniteAnimatedView)
public:
    // The keys of the spinner's two endless animations.
    static constexpr const char* RotateAnimationKey = "rotate";      // on the mask
    static constexpr const char* ProgressAnimationKey = "progress";  // on the arc

    KVTRIndefiniteAnimatedView() = default;
    explicit KVTRIndefiniteAnimatedView(const cg::Rect& frame) : View(frame) {}

    double radius() const { return radius_; }
    void setRadius(double radius);
    double strokeThickness() const { return strokeThickness_; }
    void setStrokeThickness(double thickness);
    const std::optional<cg::Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<cg::Color> color);

    // Made, with its mask and animations, when first asked for.
    const ns::Ref<ui::ShapeLayer>& indefiniteAnimatedLayer();
    // Without making it.
    const ns::Ref<ui::ShapeLayer>& currentSpinnerLayer() const { return spinnerLayer_; }

    void setFrame(const cg::Rect& frame) override;
    void willMoveToSuperview(View* newSuperview) override;
    // The ring's square, whatever is proposed.
    cg::Size sizeThatFits(cg::Size size) const override;

private:
    void layoutAnimatedLayer();
    void dropLayer();

    double radius_ = 0;
    double strokeThickness_ = 0;
    std::optional<cg::Color> strokeColor_;
    ns::Ref<ui::ShapeLayer> spinnerLayer_;
};
