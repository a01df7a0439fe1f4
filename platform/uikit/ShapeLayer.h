#pragma once
// A layer that draws a path: filled, then stroked between strokeStart and
// strokeEnd (fractions of the path's length), when it displays.

#include <optional>
#include <string>

#include "platform/graphics/BezierPath.h"
#include "platform/uikit/Layer.h"

namespace ui {

// The platform's line cap and join names.
inline constexpr const char* LineCapButt = "butt";
inline constexpr const char* LineCapRound = "round";
inline constexpr const char* LineCapSquare = "square";
inline constexpr const char* LineJoinMiter = "miter";
inline constexpr const char* LineJoinRound = "round";
inline constexpr const char* LineJoinBevel = "bevel";

class ShapeLayer : public Layer {
    RT_DECLARE_CLASS(ShapeLayer)
public:
    ShapeLayer() = default;
    static ns::Ref<ShapeLayer> make() { return std::make_shared<ShapeLayer>(); }

    const std::optional<cg::BezierPath>& path() const { return path_; }
    void setPath(std::optional<cg::BezierPath> path);
    // Opaque black by default, as on the platform; nil: no fill.
    const std::optional<cg::Color>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<cg::Color> color);
    // Nil by default: no stroke.
    const std::optional<cg::Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<cg::Color> color);
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width);
    double strokeStart() const { return strokeStart_; }
    void setStrokeStart(double start);
    double strokeEnd() const { return strokeEnd_; }
    void setStrokeEnd(double end);
    const std::string& lineCap() const { return lineCap_; }
    void setLineCap(std::string cap);
    const std::string& lineJoin() const { return lineJoin_; }
    void setLineJoin(std::string join);
    // "non-zero" or "even-odd".
    const std::string& fillRule() const { return fillRule_; }
    void setFillRule(std::string rule) { fillRule_ = std::move(rule); }

    void drawInContext(cg::BitmapContext& context) override;

private:
    std::optional<cg::BezierPath> path_;
    std::optional<cg::Color> fillColor_ = cg::Color::black();
    std::optional<cg::Color> strokeColor_;
    double lineWidth_ = 1;
    double strokeStart_ = 0;
    double strokeEnd_ = 1;
    std::string lineCap_ = LineCapButt;
    std::string lineJoin_ = LineJoinMiter;
    std::string fillRule_ = "non-zero";
};

}  // namespace ui
