#pragma once
// A 2-D affine transform in the platform's row-vector form:
//   x' = a*x + c*y + tx,   y' = b*x + d*y + ty.
// Builders that take a transform (translated, scaled, rotated) apply the new
// step first and the receiver after it, as the platform's functions do, so
// t.translated(tx, ty) maps p to t(p + (tx, ty)).

#include <iosfwd>

#include "platform/graphics/Geometry.h"

namespace cg {

struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static AffineTransform identity() { return {}; }
    static AffineTransform makeTranslation(double tx, double ty) { return {1, 0, 0, 1, tx, ty}; }
    static AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Radians; in a y-down space a positive angle turns clockwise on screen.
    static AffineTransform makeRotation(double angle);
    // Rotation about `center` instead of the origin.
    static AffineTransform makeRotation(double angle, Point center);

    bool isIdentity() const;

    AffineTransform translated(double dx, double dy) const;
    AffineTransform scaled(double sx, double sy) const;
    AffineTransform rotated(double angle) const;
    // This transform followed by `then`.
    AffineTransform concat(const AffineTransform& then) const;
    // The receiver itself when it cannot be inverted (zero determinant).
    AffineTransform inverted() const;
    bool isInvertible() const;

    Point apply(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Sizes have no position: the translation is left out.
    Size apply(Size s) const { return {a * s.width + c * s.height, b * s.width + d * s.height}; }
    // The bounding box of the four transformed corners; null stays null.
    Rect apply(const Rect& r) const;

    friend bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

std::ostream& operator<<(std::ostream& os, const AffineTransform& t);

}  // namespace cg
