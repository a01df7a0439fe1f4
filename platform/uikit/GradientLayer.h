#pragma once
// A layer filled with an axial gradient between its start and end points
// (unit coordinates of its bounds) when it displays.

#include <string>
#include <vector>

#include "platform/uikit/Layer.h"

namespace ui {

class GradientLayer : public Layer {
    RT_DECLARE_CLASS(GradientLayer)
public:
    GradientLayer() = default;
    static ns::Ref<GradientLayer> make() { return std::make_shared<GradientLayer>(); }

    const std::vector<cg::Color>& colors() const { return colors_; }
    void setColors(std::vector<cg::Color> colors);
    // Empty: evenly spread.
    const std::vector<double>& locations() const { return locations_; }
    void setLocations(std::vector<double> locations);
    cg::Point startPoint() const { return startPoint_; }
    void setStartPoint(cg::Point point) { changeValue("startPoint", startPoint_, point); }
    cg::Point endPoint() const { return endPoint_; }
    void setEndPoint(cg::Point point) { changeValue("endPoint", endPoint_, point); }
    // "axial" (drawn here), "radial", "conic" (kept as data).
    const std::string& type() const { return type_; }
    void setType(std::string type) { type_ = std::move(type); }

    void drawInContext(cg::BitmapContext& context) override;

private:
    std::vector<cg::Color> colors_;
    std::vector<double> locations_;
    cg::Point startPoint_{0.5, 0};
    cg::Point endPoint_{0.5, 1};
    std::string type_ = "axial";
};

}  // namespace ui
