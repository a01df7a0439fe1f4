#pragma once
// A path as data, shaped like the view layer's path object: elements in
// order, plus the line style it strokes with and its fill rule. Shape layers
// keep one; fill() and stroke() paint it into a context.
//
// Arcs name their direction as seen on screen in the y-down space of views:
// clockwise=true sweeps with growing angles. (BitmapContext::addArc takes the
// opposite, low-level flag; see BitmapContext.h.)

#include <optional>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/graphics/LineStyle.h"

namespace cg {

class BitmapContext;

// Corners of a rounded rect, as the platform numbers them.
enum RectCorner : unsigned {
    CornerTopLeft = 1,
    CornerTopRight = 2,
    CornerBottomLeft = 4,
    CornerBottomRight = 8,
    CornerAll = 15,
};

class BezierPath {
public:
    enum class ElementKind { MoveTo, LineTo, QuadCurveTo, CurveTo, Arc, Close };

    struct Element {
        ElementKind kind;
        // MoveTo/LineTo: points[0]. QuadCurveTo: control, end. CurveTo:
        // control 1, control 2, end. Arc: the centre.
        Point points[3];
        double radius = 0;
        double startAngle = 0;
        double endAngle = 0;
        bool clockwise = false;
    };

    BezierPath() = default;
    static BezierPath rect(const Rect& rect);
    // The ellipse inscribed in `rect`, as four cubic curves.
    static BezierPath oval(const Rect& rect);
    // Circular corners; the radius is limited to half the shorter side.
    static BezierPath roundedRect(const Rect& rect, double cornerRadius);
    // Only the corners in `corners` rounded, elliptical with `radii` (each
    // limited to half its side).
    static BezierPath roundedRect(const Rect& rect, unsigned corners, Size radii);
    static BezierPath arc(Point center, double radius, double startAngle, double endAngle, bool clockwise);

    void moveTo(Point p);
    void lineTo(Point p);
    void addQuadCurve(Point end, Point control);
    void addCurve(Point end, Point control1, Point control2);
    // A line joins the current point, if any, to the arc's start.
    void addArc(Point center, double radius, double startAngle, double endAngle, bool clockwise);
    void closePath();
    void appendPath(const BezierPath& other);
    void removeAllPoints();

    const std::vector<Element>& elements() const { return elements_; }
    bool isEmpty() const { return elements_.empty(); }
    // Nothing before the first element, and after a close the start of the
    // closed subpath.
    std::optional<Point> currentPoint() const;
    // The smallest rect holding every point of the path (curve extremes, not
    // control points); null for an empty path.
    Rect bounds() const;
    // Inside by the path's fill rule (non-zero unless even-odd is set).
    bool contains(Point p) const;

    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }
    LineCap lineCapStyle() const { return lineCap_; }
    void setLineCapStyle(LineCap cap) { lineCap_ = cap; }
    LineJoin lineJoinStyle() const { return lineJoin_; }
    void setLineJoinStyle(LineJoin join) { lineJoin_ = join; }
    bool usesEvenOddFillRule() const { return evenOdd_; }
    void setUsesEvenOddFillRule(bool on) { evenOdd_ = on; }

    // Adds the elements to the context's current path.
    void addTo(BitmapContext& context) const;
    // Fill or stroke in the context's current colours, with this path's
    // fill rule or line style. The context's graphics state is kept; its
    // current path is replaced (and consumed).
    void fill(BitmapContext& context) const;
    void stroke(BitmapContext& context) const;

private:
    std::vector<Element> elements_;
    double lineWidth_ = 1;
    LineCap lineCap_ = LineCap::Butt;
    LineJoin lineJoin_ = LineJoin::Miter;
    bool evenOdd_ = false;
};

}  // namespace cg
