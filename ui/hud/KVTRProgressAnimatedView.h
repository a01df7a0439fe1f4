#pragma once
// The status HUD's progress ring: a circle drawn clockwise from the top up to
// `strokeEnd` of its circumference. Drawn full in a faint colour it is also
// the track behind the ring. The ring's layer exists only while the view has
// a superview, and is rebuilt when the radius changes.
//
// Main thread only.

#include <optional>

#include "platform/uikit/ShapeLayer.h"
#include "platform/uikit/View.h"

class KVTRProgressAnimatedView : public ui::View {
    RT_DECLARE_CLASS(KVTRProgressAnimatedView)
public:
    KVTRProgressAnimatedView() = default;
    explicit KVTRProgressAnimatedView(const cg::Rect& frame) : View(frame) {}

    double radius() const { return radius_; }
    void setRadius(double radius);
    double strokeThickness() const { return strokeThickness_; }
    void setStrokeThickness(double thickness);
    const std::optional<cg::Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<cg::Color> color);
    double strokeEnd() const { return strokeEnd_; }
    // Reaches the layer only when there is one; a layer made later keeps the
    // shape layer's own end of 1 until the next call.
    void setStrokeEnd(double strokeEnd);

    // Made when first asked for.
    const ns::Ref<ui::ShapeLayer>& ringAnimatedLayer();
    // Without making it.
    const ns::Ref<ui::ShapeLayer>& currentRingLayer() const { return ringLayer_; }

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
    double strokeEnd_ = 0;
    ns::Ref<ui::ShapeLayer> ringLayer_;
};
