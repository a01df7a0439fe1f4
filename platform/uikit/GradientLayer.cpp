#include "platform/uikit/GradientLayer.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/ReplicatorLayer.h"

namespace ui {

RT_DEFINE_CLASS(GradientLayer, Layer, "CAGradientLayer")
RT_DEFINE_CLASS(ReplicatorLayer, Layer, "CAReplicatorLayer")

void GradientLayer::setColors(std::vector<cg::Color> colors) {
    colors_ = std::move(colors);
    setNeedsDisplay();
}

void GradientLayer::setLocations(std::vector<double> locations) {
    locations_ = std::move(locations);
    setNeedsDisplay();
}

void GradientLayer::drawInContext(cg::BitmapContext& context) {
    if (colors_.empty() || type_ != "axial") return;
    std::vector<cg::GradientStop> stops;
    for (size_t i = 0; i < colors_.size(); ++i) {
        double location;
        if (locations_.size() == colors_.size()) location = locations_[i];
        else location = colors_.size() == 1 ? 0 : double(i) / double(colors_.size() - 1);
        stops.push_back({location, colors_[i]});
    }
    const cg::Rect& b = bounds();
    cg::Point start{b.minX() + startPoint_.x * b.width(), b.minY() + startPoint_.y * b.height()};
    cg::Point end{b.minX() + endPoint_.x * b.width(), b.minY() + endPoint_.y * b.height()};
    context.drawLinearGradient(stops, start, end, true, true);
}

Transform3D ReplicatorLayer::transformOfInstance(int64_t index) const {
    Transform3D t;
    for (int64_t i = 0; i < index; ++i) t = t.concat(instanceTransform_);
    return t;
}

}  // namespace ui
