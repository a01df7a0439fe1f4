#include "platform/uikit/GeometryValue.h"

#include <cstring>
#include <ostream>

namespace ui {

namespace {

// Type codes in the platform's encoding form, so descriptions and type checks
// read as they would there.
constexpr const char* PointType = "{CGPoint=dd}";
constexpr const char* SizeType = "{CGSize=dd}";
constexpr const char* RectType = "{CGRect={CGPoint=dd}{CGSize=dd}}";
constexpr const char* InsetsType = "{UIEdgeInsets=dddd}";
constexpr const char* AffineType = "{CGAffineTransform=dddddd}";
constexpr const char* Transform3DType = "{CATransform3D=ddddddd}";
constexpr const char* ColorType = "{UIColor=dddd}";

template <class T>
ns::Ref<ns::Value> box(const T& v, const char* type) {
    return ns::Value::withBytes(&v, sizeof v, type);
}

template <class T>
bool unbox(const ns::Id& value, const char* type, T& out) {
    auto v = ns::cast<ns::Value>(value);
    if (!v || std::strcmp(v->objCType(), type) != 0) return false;
    return v->getValue(&out, sizeof out);
}

}  // namespace

ns::Ref<ns::Value> valueWithPoint(cg::Point p) { return box(p, PointType); }
ns::Ref<ns::Value> valueWithSize(cg::Size s) { return box(s, SizeType); }
ns::Ref<ns::Value> valueWithRect(const cg::Rect& r) {
    double d[4] = {r.origin.x, r.origin.y, r.size.width, r.size.height};
    return box(d, RectType);
}
ns::Ref<ns::Value> valueWithEdgeInsets(const cg::EdgeInsets& e) { return box(e, InsetsType); }
ns::Ref<ns::Value> valueWithAffineTransform(const cg::AffineTransform& t) { return box(t, AffineType); }
ns::Ref<ns::Value> valueWithTransform3D(const Transform3D& t) {
    double d[7] = {t.affine.a, t.affine.b, t.affine.c, t.affine.d, t.affine.tx, t.affine.ty, t.scaleZ};
    return box(d, Transform3DType);
}
ns::Ref<ns::Value> valueWithColor(const cg::Color& c) { return box(c, ColorType); }

cg::Point pointValue(const ns::Id& value) {
    cg::Point p;
    return unbox(value, PointType, p) ? p : cg::Point{};
}

cg::Size sizeValue(const ns::Id& value) {
    cg::Size s;
    return unbox(value, SizeType, s) ? s : cg::Size{};
}

cg::Rect rectValue(const ns::Id& value) {
    double d[4];
    return unbox(value, RectType, d) ? cg::Rect(d[0], d[1], d[2], d[3]) : cg::Rect{};
}

cg::EdgeInsets edgeInsetsValue(const ns::Id& value) {
    cg::EdgeInsets e;
    return unbox(value, InsetsType, e) ? e : cg::EdgeInsets{};
}

cg::AffineTransform affineTransformValue(const ns::Id& value) {
    cg::AffineTransform t;
    return unbox(value, AffineType, t) ? t : cg::AffineTransform{};
}

Transform3D transform3DValue(const ns::Id& value) {
    double d[7];
    if (!unbox(value, Transform3DType, d)) return {};
    return {{d[0], d[1], d[2], d[3], d[4], d[5]}, d[6]};
}

std::optional<cg::Color> colorValue(const ns::Id& value) {
    cg::Color c;
    if (!unbox(value, ColorType, c)) return std::nullopt;
    return c;
}

double doubleValue(const ns::Id& value) {
    auto n = ns::cast<ns::Number>(value);
    return n ? n->doubleValue() : 0;
}

std::ostream& operator<<(std::ostream& os, const Transform3D& t) {
    return os << t.affine << " z" << t.scaleZ;
}

}  // namespace ui
