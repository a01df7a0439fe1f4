#include "platform/graphics/BezierPath.h"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <numbers>

#include "platform/graphics/BitmapContext.h"

namespace cg {

namespace {

constexpr double kPi = std::numbers::pi;
// Control-point distance, as a fraction of the radius, of the cubic that
// best matches a quarter circle.
constexpr double kKappa = 0.5522847498307936;

Point pointOnCircle(Point c, double r, double angle) { return {c.x + r * std::cos(angle), c.y + r * std::sin(angle)}; }

// The end angle the arc really reaches, normalised as the drawing library
// does: a growing sweep whose end lies before its start goes round to it.
double sweepEnd(double start, double end, bool growing) {
    if (growing && end < start) {
        double e = std::fmod(end - start, 2 * kPi);
        if (e < 0) e += 2 * kPi;
        return start + e;
    }
    if (!growing && end > start) {
        double e = std::fmod(end - start, 2 * kPi);
        if (e > 0) e -= 2 * kPi;
        return start + e;
    }
    return end;
}

struct Extent {
    double x0 = INFINITY, y0 = INFINITY, x1 = -INFINITY, y1 = -INFINITY;
    void add(Point p) {
        x0 = std::min(x0, p.x);
        y0 = std::min(y0, p.y);
        x1 = std::max(x1, p.x);
        y1 = std::max(y1, p.y);
    }
};

double cubicAt(double p0, double p1, double p2, double p3, double t) {
    double u = 1 - t;
    return u * u * u * p0 + 3 * u * u * t * p1 + 3 * u * t * t * p2 + t * t * t * p3;
}

// Parameters in (0, 1) where one coordinate of the cubic turns.
std::vector<double> cubicTurns(double p0, double p1, double p2, double p3) {
    // Derivative / 3 = a t^2 + b t + c.
    double a = -p0 + 3 * p1 - 3 * p2 + p3;
    double b = 2 * (p0 - 2 * p1 + p2);
    double c = p1 - p0;
    std::vector<double> out;
    auto keep = [&](double t) {
        if (t > 0 && t < 1) out.push_back(t);
    };
    if (std::fabs(a) < 1e-12) {
        if (std::fabs(b) > 1e-12) keep(-c / b);
        return out;
    }
    double disc = b * b - 4 * a * c;
    if (disc < 0) return out;
    double root = std::sqrt(disc);
    keep((-b + root) / (2 * a));
    keep((-b - root) / (2 * a));
    return out;
}

void addCubic(Extent& e, Point p0, Point p1, Point p2, Point p3) {
    e.add(p3);
    for (double t : cubicTurns(p0.x, p1.x, p2.x, p3.x))
        e.add({cubicAt(p0.x, p1.x, p2.x, p3.x, t), cubicAt(p0.y, p1.y, p2.y, p3.y, t)});
    for (double t : cubicTurns(p0.y, p1.y, p2.y, p3.y))
        e.add({cubicAt(p0.x, p1.x, p2.x, p3.x, t), cubicAt(p0.y, p1.y, p2.y, p3.y, t)});
}

void addArcExtent(Extent& e, Point c, double r, double start, double end) {
    e.add(pointOnCircle(c, r, end));
    double lo = std::min(start, end), hi = std::max(start, end);
    if (hi - lo >= 2 * kPi) {
        e.add({c.x - r, c.y - r});
        e.add({c.x + r, c.y + r});
        return;
    }
    for (double k = std::ceil(lo / (kPi / 2)); k * (kPi / 2) <= hi; k += 1) e.add(pointOnCircle(c, r, k * kPi / 2));
}

// The quadratic as the equivalent cubic's two control points.
std::pair<Point, Point> quadControls(Point from, Point control, Point to) {
    return {{from.x + 2.0 / 3 * (control.x - from.x), from.y + 2.0 / 3 * (control.y - from.y)},
            {to.x + 2.0 / 3 * (control.x - to.x), to.y + 2.0 / 3 * (control.y - to.y)}};
}

void buildCairoPath(cairo_t* cr, const std::vector<BezierPath::Element>& elements) {
    using K = BezierPath::ElementKind;
    for (const auto& e : elements) {
        switch (e.kind) {
        case K::MoveTo: cairo_move_to(cr, e.points[0].x, e.points[0].y); break;
        case K::LineTo: cairo_line_to(cr, e.points[0].x, e.points[0].y); break;
        case K::QuadCurveTo: {
            double x = e.points[0].x, y = e.points[0].y;
            if (cairo_has_current_point(cr)) cairo_get_current_point(cr, &x, &y);
            else cairo_move_to(cr, x, y);
            auto [c1, c2] = quadControls({x, y}, e.points[0], e.points[1]);
            cairo_curve_to(cr, c1.x, c1.y, c2.x, c2.y, e.points[1].x, e.points[1].y);
            break;
        }
        case K::CurveTo:
            if (!cairo_has_current_point(cr)) cairo_move_to(cr, e.points[0].x, e.points[0].y);
            cairo_curve_to(cr, e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                           e.points[2].y);
            break;
        case K::Arc:
            if (e.clockwise) cairo_arc(cr, e.points[0].x, e.points[0].y, e.radius, e.startAngle, e.endAngle);
            else cairo_arc_negative(cr, e.points[0].x, e.points[0].y, e.radius, e.startAngle, e.endAngle);
            break;
        case K::Close: cairo_close_path(cr); break;
        }
    }
}

}  // namespace

BezierPath BezierPath::rect(const Rect& r) {
    BezierPath path;
    path.moveTo(r.origin);
    path.lineTo({r.origin.x + r.size.width, r.origin.y});
    path.lineTo({r.origin.x + r.size.width, r.origin.y + r.size.height});
    path.lineTo({r.origin.x, r.origin.y + r.size.height});
    path.closePath();
    return path;
}

BezierPath BezierPath::oval(const Rect& rect) {
    BezierPath path;
    Rect r = rect.standardized();
    if (r.isNull()) return path;
    double cx = r.midX(), cy = r.midY(), rx = r.width() / 2, ry = r.height() / 2;
    double kx = rx * kKappa, ky = ry * kKappa;
    path.moveTo({cx + rx, cy});
    path.addCurve({cx, cy + ry}, {cx + rx, cy + ky}, {cx + kx, cy + ry});
    path.addCurve({cx - rx, cy}, {cx - kx, cy + ry}, {cx - rx, cy + ky});
    path.addCurve({cx, cy - ry}, {cx - rx, cy - ky}, {cx - kx, cy - ry});
    path.addCurve({cx + rx, cy}, {cx + kx, cy - ry}, {cx + rx, cy - ky});
    path.closePath();
    return path;
}

BezierPath BezierPath::roundedRect(const Rect& rect, double cornerRadius) {
    Rect r = rect.standardized();
    double radius = std::clamp(cornerRadius, 0.0, std::min(r.width(), r.height()) / 2);
    if (r.isNull() || radius == 0) return BezierPath::rect(r);
    double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    BezierPath path;
    path.moveTo({x0 + radius, y0});
    path.lineTo({x1 - radius, y0});
    path.addArc({x1 - radius, y0 + radius}, radius, -kPi / 2, 0, true);
    path.lineTo({x1, y1 - radius});
    path.addArc({x1 - radius, y1 - radius}, radius, 0, kPi / 2, true);
    path.lineTo({x0 + radius, y1});
    path.addArc({x0 + radius, y1 - radius}, radius, kPi / 2, kPi, true);
    path.lineTo({x0, y0 + radius});
    path.addArc({x0 + radius, y0 + radius}, radius, kPi, 3 * kPi / 2, true);
    path.closePath();
    return path;
}

BezierPath BezierPath::roundedRect(const Rect& rect, unsigned corners, Size radii) {
    Rect r = rect.standardized();
    if (r.isNull()) return BezierPath::rect(r);
    double rx = std::clamp(radii.width, 0.0, r.width() / 2);
    double ry = std::clamp(radii.height, 0.0, r.height() / 2);
    if ((corners & CornerAll) == CornerAll && rx == ry) return roundedRect(r, rx);
    double x0 = r.minX(), y0 = r.minY(), x1 = r.maxX(), y1 = r.maxY();
    BezierPath path;
    // Each corner runs from the point on its incoming edge to the one on its
    // outgoing edge; square corners are a single point.
    auto corner = [&](unsigned bit, Point at, Point in, Point out) {
        if (!(corners & bit) || rx == 0 || ry == 0) {
            path.isEmpty() ? path.moveTo(at) : path.lineTo(at);
            return;
        }
        path.isEmpty() ? path.moveTo(in) : path.lineTo(in);
        path.addCurve(out, {in.x + kKappa * (at.x - in.x), in.y + kKappa * (at.y - in.y)},
                      {out.x + kKappa * (at.x - out.x), out.y + kKappa * (at.y - out.y)});
    };
    corner(CornerTopLeft, {x0, y0}, {x0, y0 + ry}, {x0 + rx, y0});
    corner(CornerTopRight, {x1, y0}, {x1 - rx, y0}, {x1, y0 + ry});
    corner(CornerBottomRight, {x1, y1}, {x1, y1 - ry}, {x1 - rx, y1});
    corner(CornerBottomLeft, {x0, y1}, {x0 + rx, y1}, {x0, y1 - ry});
    path.closePath();
    return path;
}

BezierPath BezierPath::arc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    BezierPath path;
    path.addArc(center, radius, startAngle, endAngle, clockwise);
    return path;
}

void BezierPath::moveTo(Point p) { elements_.push_back({ElementKind::MoveTo, {p}}); }

void BezierPath::lineTo(Point p) { elements_.push_back({ElementKind::LineTo, {p}}); }

void BezierPath::addQuadCurve(Point end, Point control) {
    elements_.push_back({ElementKind::QuadCurveTo, {control, end}});
}

void BezierPath::addCurve(Point end, Point control1, Point control2) {
    elements_.push_back({ElementKind::CurveTo, {control1, control2, end}});
}

void BezierPath::addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise) {
    Element e{ElementKind::Arc, {center}};
    e.radius = radius;
    e.startAngle = startAngle;
    e.endAngle = endAngle;
    e.clockwise = clockwise;
    elements_.push_back(e);
}

void BezierPath::closePath() { elements_.push_back({ElementKind::Close, {}}); }

void BezierPath::appendPath(const BezierPath& other) {
    elements_.insert(elements_.end(), other.elements_.begin(), other.elements_.end());
}

void BezierPath::removeAllPoints() { elements_.clear(); }

std::optional<Point> BezierPath::currentPoint() const {
    std::optional<Point> current, subpathStart;
    for (const auto& e : elements_) {
        switch (e.kind) {
        case ElementKind::MoveTo:
            current = subpathStart = e.points[0];
            break;
        case ElementKind::LineTo:
            if (!current) subpathStart = e.points[0];
            current = e.points[0];
            break;
        case ElementKind::QuadCurveTo:
            if (!current) subpathStart = e.points[0];
            current = e.points[1];
            break;
        case ElementKind::CurveTo:
            if (!current) subpathStart = e.points[0];
            current = e.points[2];
            break;
        case ElementKind::Arc: {
            Point start = pointOnCircle(e.points[0], e.radius, e.startAngle);
            if (!current) subpathStart = start;
            current = pointOnCircle(e.points[0], e.radius, sweepEnd(e.startAngle, e.endAngle, e.clockwise));
            break;
        }
        case ElementKind::Close:
            current = subpathStart;
            break;
        }
    }
    return current;
}

Rect BezierPath::bounds() const {
    if (elements_.empty()) return Rect::null();
    Extent ext;
    std::optional<Point> current, subpathStart;
    for (const auto& e : elements_) {
        switch (e.kind) {
        case ElementKind::MoveTo:
            ext.add(e.points[0]);
            current = subpathStart = e.points[0];
            break;
        case ElementKind::LineTo:
            ext.add(e.points[0]);
            if (!current) subpathStart = e.points[0];
            current = e.points[0];
            break;
        case ElementKind::QuadCurveTo: {
            Point from = current.value_or(e.points[0]);
            if (!current) subpathStart = from;
            ext.add(from);
            auto [c1, c2] = quadControls(from, e.points[0], e.points[1]);
            addCubic(ext, from, c1, c2, e.points[1]);
            current = e.points[1];
            break;
        }
        case ElementKind::CurveTo: {
            Point from = current.value_or(e.points[0]);
            if (!current) subpathStart = from;
            ext.add(from);
            addCubic(ext, from, e.points[0], e.points[1], e.points[2]);
            current = e.points[2];
            break;
        }
        case ElementKind::Arc: {
            Point start = pointOnCircle(e.points[0], e.radius, e.startAngle);
            double end = sweepEnd(e.startAngle, e.endAngle, e.clockwise);
            ext.add(start);
            addArcExtent(ext, e.points[0], e.radius, e.startAngle, end);
            if (!current) subpathStart = start;
            current = pointOnCircle(e.points[0], e.radius, end);
            break;
        }
        case ElementKind::Close:
            current = subpathStart;
            break;
        }
    }
    if (ext.x0 > ext.x1) return Rect::null();
    return {ext.x0, ext.y0, ext.x1 - ext.x0, ext.y1 - ext.y0};
}

bool BezierPath::contains(Point p) const {
    if (elements_.empty()) return false;
    // Only the context's geometry is used; the surface is never drawn on.
    cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(surface);
    buildCairoPath(cr, elements_);
    cairo_set_fill_rule(cr, evenOdd_ ? CAIRO_FILL_RULE_EVEN_ODD : CAIRO_FILL_RULE_WINDING);
    bool inside = cairo_in_fill(cr, p.x, p.y);
    cairo_destroy(cr);
    cairo_surface_destroy(surface);
    return inside;
}

void BezierPath::addTo(BitmapContext& context) const {
    for (const auto& e : elements_) {
        switch (e.kind) {
        case ElementKind::MoveTo: context.moveTo(e.points[0].x, e.points[0].y); break;
        case ElementKind::LineTo: context.lineTo(e.points[0].x, e.points[0].y); break;
        case ElementKind::QuadCurveTo:
            context.addQuadCurveTo(e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y);
            break;
        case ElementKind::CurveTo:
            context.addCurveTo(e.points[0].x, e.points[0].y, e.points[1].x, e.points[1].y, e.points[2].x,
                               e.points[2].y);
            break;
        case ElementKind::Arc:
            // On-screen clockwise is the low-level call's counter-clockwise.
            context.addArc(e.points[0].x, e.points[0].y, e.radius, e.startAngle, e.endAngle, !e.clockwise);
            break;
        case ElementKind::Close: context.closePath(); break;
        }
    }
}

void BezierPath::fill(BitmapContext& context) const {
    context.saveGState();
    context.beginPath();
    addTo(context);
    context.fillPath(evenOdd_);
    context.restoreGState();
}

void BezierPath::stroke(BitmapContext& context) const {
    context.saveGState();
    context.setLineWidth(lineWidth_);
    context.setLineCap(lineCap_);
    context.setLineJoin(lineJoin_);
    context.beginPath();
    addTo(context);
    context.strokePath();
    context.restoreGState();
}

}  // namespace cg
