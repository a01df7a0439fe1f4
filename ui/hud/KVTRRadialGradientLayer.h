#pragma once
// The status HUD's gradient mask: clear at a centre point, darkening with the
// distance to black at three-quarter opacity, reached at the smaller side of
// the layer and kept beyond it.

#include "platform/graphics/Geometry.h"
#include "platform/uikit/Layer.h"

class KVTRRadialGradientLayer : public ui::Layer {
    RT_DECLARE_CLASS(KVTRRadialGradientLayer)
public:
    KVTRRadialGradientLayer() = default;

    // In the layer's own coordinates.
    cg::Point gradientCenter() const { return gradientCenter_; }
    void setGradientCenter(cg::Point center) { gradientCenter_ = center; }

    void drawInContext(cg::BitmapContext& context) override;

private:
    cg::Point gradientCenter_;
};
