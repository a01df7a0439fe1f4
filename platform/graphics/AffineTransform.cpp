#include "platform/graphics/AffineTransform.h"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace cg {

AffineTransform AffineTransform::makeRotation(double angle) {
    double s = std::sin(angle), co = std::cos(angle);
    return {co, s, -s, co, 0, 0};
}

AffineTransform AffineTransform::makeRotation(double angle, Point center) {
    return makeTranslation(-center.x, -center.y)
        .concat(makeRotation(angle))
        .concat(makeTranslation(center.x, center.y));
}

bool AffineTransform::isIdentity() const { return *this == identity(); }

AffineTransform AffineTransform::concat(const AffineTransform& t) const {
    return {a * t.a + b * t.c, a * t.b + b * t.d, c * t.a + d * t.c, c * t.b + d * t.d,
            tx * t.a + ty * t.c + t.tx, tx * t.b + ty * t.d + t.ty};
}

AffineTransform AffineTransform::translated(double dx, double dy) const {
    return makeTranslation(dx, dy).concat(*this);
}

AffineTransform AffineTransform::scaled(double sx, double sy) const { return makeScale(sx, sy).concat(*this); }

AffineTransform AffineTransform::rotated(double angle) const { return makeRotation(angle).concat(*this); }

bool AffineTransform::isInvertible() const {
    double det = a * d - b * c;
    return det != 0 && std::isfinite(det);
}

AffineTransform AffineTransform::inverted() const {
    if (!isInvertible()) return *this;
    double det = a * d - b * c;
    return {d / det, -b / det, -c / det, a / det, (c * ty - d * tx) / det, (b * tx - a * ty) / det};
}

Rect AffineTransform::apply(const Rect& r) const {
    if (r.isNull()) return Rect::null();
    Rect s = r.standardized();
    Point corners[4] = {apply(Point{s.minX(), s.minY()}), apply(Point{s.maxX(), s.minY()}),
                        apply(Point{s.minX(), s.maxY()}), apply(Point{s.maxX(), s.maxY()})};
    double x0 = corners[0].x, x1 = x0, y0 = corners[0].y, y1 = y0;
    for (const Point& p : corners) {
        x0 = std::min(x0, p.x);
        x1 = std::max(x1, p.x);
        y0 = std::min(y0, p.y);
        y1 = std::max(y1, p.y);
    }
    return {x0, y0, x1 - x0, y1 - y0};
}

std::ostream& operator<<(std::ostream& os, const AffineTransform& t) {
    return os << "[" << t.a << ", " << t.b << ", " << t.c << ", " << t.d << ", " << t.tx << ", " << t.ty << "]";
}

}  // namespace cg
