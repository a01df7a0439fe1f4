#include "platform/uikit/ShapeLayer.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/KeyValueObserving.h"

namespace ui {

RT_DEFINE_CLASS(ShapeLayer, Layer, "CAShapeLayer")

void ShapeLayer::setPath(std::optional<cg::BezierPath> path) {
    path_ = std::move(path);
    setNeedsDisplay();
}

void ShapeLayer::setFillColor(std::optional<cg::Color> color) {
    changeValue("fillColor", fillColor_, color);
    setNeedsDisplay();
}

void ShapeLayer::setStrokeColor(std::optional<cg::Color> color) {
    changeValue("strokeColor", strokeColor_, color);
    setNeedsDisplay();
}

void ShapeLayer::setLineWidth(double width) {
    changeValue("lineWidth", lineWidth_, width);
    setNeedsDisplay();
}

void ShapeLayer::setStrokeStart(double start) {
    changeValue("strokeStart", strokeStart_, start);
    setNeedsDisplay();
}

void ShapeLayer::setStrokeEnd(double end) {
    changeValue("strokeEnd", strokeEnd_, end);
    setNeedsDisplay();
}

void ShapeLayer::setLineCap(std::string cap) {
    lineCap_ = std::move(cap);
    setNeedsDisplay();
}

void ShapeLayer::setLineJoin(std::string join) {
    lineJoin_ = std::move(join);
    setNeedsDisplay();
}

namespace {

using Polyline = std::vector<cg::Point>;

// The sweep of an arc as drawn on screen: clockwise grows the angle, and a
// sweep of more than a turn (as from 3pi/2 to 11pi/2) is kept.
double arcSweep(double start, double end, bool clockwise) {
    const double turn = 2 * std::numbers::pi;
    if (clockwise) return end >= start ? end - start : turn - std::fmod(start - end, turn);
    return end <= start ? end - start : -(turn - std::fmod(end - start, turn));
}

// The path as polylines, curves cut into short straight pieces.
std::vector<Polyline> flatten(const cg::BezierPath& path) {
    std::vector<Polyline> out;
    cg::Point current;
    cg::Point subpathStart;
    auto ensure = [&]() -> Polyline& {
        if (out.empty()) out.push_back({current});
        return out.back();
    };
    for (const auto& e : path.elements()) {
        switch (e.kind) {
            case cg::BezierPath::ElementKind::MoveTo:
                current = subpathStart = e.points[0];
                out.push_back({current});
                break;
            case cg::BezierPath::ElementKind::LineTo:
                ensure().push_back(e.points[0]);
                current = e.points[0];
                break;
            case cg::BezierPath::ElementKind::QuadCurveTo: {
                Polyline& line = ensure();
                cg::Point p0 = current, c = e.points[0], p1 = e.points[1];
                for (int i = 1; i <= 16; ++i) {
                    double t = i / 16.0, u = 1 - t;
                    line.push_back({u * u * p0.x + 2 * u * t * c.x + t * t * p1.x,
                                    u * u * p0.y + 2 * u * t * c.y + t * t * p1.y});
                }
                current = p1;
                break;
            }
            case cg::BezierPath::ElementKind::CurveTo: {
                Polyline& line = ensure();
                cg::Point p0 = current, c1 = e.points[0], c2 = e.points[1], p1 = e.points[2];
                for (int i = 1; i <= 24; ++i) {
                    double t = i / 24.0, u = 1 - t;
                    double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
                    line.push_back({a * p0.x + b * c1.x + c * c2.x + d * p1.x, a * p0.y + b * c1.y + c * c2.y + d * p1.y});
                }
                current = p1;
                break;
            }
            case cg::BezierPath::ElementKind::Arc: {
                double sweep = arcSweep(e.startAngle, e.endAngle, e.clockwise);
                cg::Point first{e.points[0].x + e.radius * std::cos(e.startAngle),
                                e.points[0].y + e.radius * std::sin(e.startAngle)};
                if (out.empty()) {
                    out.push_back({first});
                    subpathStart = first;
                } else {
                    out.back().push_back(first);
                }
                int steps = std::max(8, int(std::ceil(std::fabs(sweep) / (std::numbers::pi / 32))));
                for (int i = 1; i <= steps; ++i) {
                    double a = e.startAngle + sweep * i / steps;
                    out.back().push_back({e.points[0].x + e.radius * std::cos(a), e.points[0].y + e.radius * std::sin(a)});
                }
                current = out.back().back();
                break;
            }
            case cg::BezierPath::ElementKind::Close:
                ensure().push_back(subpathStart);
                current = subpathStart;
                break;
        }
    }
    return out;
}

double length(const Polyline& line) {
    double total = 0;
    for (size_t i = 1; i < line.size(); ++i) total += std::hypot(line[i].x - line[i - 1].x, line[i].y - line[i - 1].y);
    return total;
}

// The part of the polylines between the two distances along them.
cg::BezierPath trim(const std::vector<Polyline>& lines, double from, double to) {
    cg::BezierPath out;
    double walked = 0;
    for (const auto& line : lines) {
        bool open = false;
        for (size_t i = 1; i < line.size(); ++i) {
            cg::Point a = line[i - 1], b = line[i];
            double seg = std::hypot(b.x - a.x, b.y - a.y);
            double s0 = walked, s1 = walked + seg;
            walked = s1;
            if (seg == 0 || s1 <= from || s0 >= to) continue;
            double t0 = std::max(0.0, (from - s0) / seg);
            double t1 = std::min(1.0, (to - s0) / seg);
            cg::Point p0{a.x + (b.x - a.x) * t0, a.y + (b.y - a.y) * t0};
            cg::Point p1{a.x + (b.x - a.x) * t1, a.y + (b.y - a.y) * t1};
            if (!open) {
                out.moveTo(p0);
                open = true;
            }
            out.lineTo(p1);
        }
    }
    return out;
}

cg::LineCap capOf(const std::string& name) {
    if (name == LineCapRound) return cg::LineCap::Round;
    if (name == LineCapSquare) return cg::LineCap::Square;
    return cg::LineCap::Butt;
}

cg::LineJoin joinOf(const std::string& name) {
    if (name == LineJoinRound) return cg::LineJoin::Round;
    if (name == LineJoinBevel) return cg::LineJoin::Bevel;
    return cg::LineJoin::Miter;
}

}  // namespace

void ShapeLayer::drawInContext(cg::BitmapContext& context) {
    if (!path_ || path_->isEmpty()) return;
    if (fillColor_) {
        cg::BezierPath fill = *path_;
        fill.setUsesEvenOddFillRule(fillRule_ == "even-odd");
        context.setFillColor(*fillColor_);
        fill.fill(context);
    }
    double start = std::clamp(strokeStart_, 0.0, 1.0);
    double end = std::clamp(strokeEnd_, 0.0, 1.0);
    if (!strokeColor_ || lineWidth_ <= 0 || end <= start) return;
    cg::BezierPath stroke;
    if (start == 0 && end == 1) {
        stroke = *path_;
    } else {
        auto lines = flatten(*path_);
        double total = 0;
        for (const auto& line : lines) total += length(line);
        stroke = trim(lines, start * total, end * total);
    }
    stroke.setLineWidth(lineWidth_);
    stroke.setLineCapStyle(capOf(lineCap_));
    stroke.setLineJoinStyle(joinOf(lineJoin_));
    context.setStrokeColor(*strokeColor_);
    stroke.stroke(context);
}

}  // namespace ui
