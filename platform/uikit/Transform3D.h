#pragma once
// The layer transform: a 2-D affine transform in the plane of the screen plus
// the z scale, the only parts of a 3-D transform this headless layer tree
// uses. Rotations are about the z axis.

#include <iosfwd>

#include "platform/graphics/AffineTransform.h"

namespace ui {

struct Transform3D {
    cg::AffineTransform affine;
    double scaleZ = 1;

    static Transform3D identity() { return {}; }
    static Transform3D fromAffine(const cg::AffineTransform& t) { return {t, 1}; }
    static Transform3D makeScale(double sx, double sy, double sz = 1) {
        return {cg::AffineTransform::makeScale(sx, sy), sz};
    }
    static Transform3D makeRotation(double angle) { return {cg::AffineTransform::makeRotation(angle), 1}; }
    static Transform3D makeTranslation(double tx, double ty) {
        return {cg::AffineTransform::makeTranslation(tx, ty), 1};
    }

    bool isIdentity() const { return affine.isIdentity() && scaleZ == 1; }
    // The receiver first, then `then`.
    Transform3D concat(const Transform3D& then) const { return {affine.concat(then.affine), scaleZ * then.scaleZ}; }
    Transform3D scaled(double sx, double sy, double sz = 1) const {
        return {affine.scaled(sx, sy), scaleZ * sz};
    }
    Transform3D rotated(double angle) const { return {affine.rotated(angle), scaleZ}; }

    friend bool operator==(const Transform3D&, const Transform3D&) = default;
};

std::ostream& operator<<(std::ostream& os, const Transform3D& t);

}  // namespace ui
