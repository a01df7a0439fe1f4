#include "platform/graphics/Geometry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <ostream>

namespace cg {

namespace {

constexpr double kInf = std::numeric_limits<double>::infinity();

std::string number(double v) {
    char buf[32];
    auto result = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, result.ptr);
}

}  // namespace

Rect Rect::null() { return {kInf, kInf, 0, 0}; }

double Rect::minX() const { return std::min(origin.x, origin.x + size.width); }
double Rect::maxX() const { return std::max(origin.x, origin.x + size.width); }
double Rect::midX() const { return origin.x + size.width / 2; }
double Rect::minY() const { return std::min(origin.y, origin.y + size.height); }
double Rect::maxY() const { return std::max(origin.y, origin.y + size.height); }
double Rect::midY() const { return origin.y + size.height / 2; }
double Rect::width() const { return std::fabs(size.width); }
double Rect::height() const { return std::fabs(size.height); }

bool Rect::isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

bool Rect::isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

Rect Rect::standardized() const {
    if (isNull()) return null();
    return {minX(), minY(), width(), height()};
}

Rect Rect::insetBy(double dx, double dy) const {
    if (isNull()) return null();
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    r.size.width -= 2 * dx;
    r.size.height -= 2 * dy;
    if (r.size.width < 0 || r.size.height < 0) return null();
    return r;
}

Rect Rect::offsetBy(double dx, double dy) const {
    if (isNull()) return null();
    Rect r = standardized();
    r.origin.x += dx;
    r.origin.y += dy;
    return r;
}

Rect Rect::integral() const {
    if (isNull()) return null();
    double x0 = std::floor(minX()), y0 = std::floor(minY());
    double x1 = std::ceil(maxX()), y1 = std::ceil(maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::unionWith(const Rect& other) const {
    if (isNull()) return other.standardized();
    if (other.isNull()) return standardized();
    double x0 = std::min(minX(), other.minX()), y0 = std::min(minY(), other.minY());
    double x1 = std::max(maxX(), other.maxX()), y1 = std::max(maxY(), other.maxY());
    return {x0, y0, x1 - x0, y1 - y0};
}

Rect Rect::intersection(const Rect& other) const {
    if (isNull() || other.isNull()) return null();
    double x0 = std::max(minX(), other.minX()), y0 = std::max(minY(), other.minY());
    double x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
    if (x0 > x1 || y0 > y1) return null();
    return {x0, y0, x1 - x0, y1 - y0};
}

bool Rect::intersects(const Rect& other) const { return !intersection(other).isEmpty(); }

bool Rect::containsPoint(Point p) const {
    if (isNull()) return false;
    return p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool Rect::containsRect(const Rect& other) const {
    if (isNull() || other.isNull()) return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

bool operator==(const Rect& a, const Rect& b) {
    if (a.isNull() || b.isNull()) return a.isNull() && b.isNull();
    Rect sa = a.standardized(), sb = b.standardized();
    return sa.origin == sb.origin && sa.size == sb.size;
}

std::string toString(Point p) { return "{" + number(p.x) + ", " + number(p.y) + "}"; }

std::string toString(Size s) { return "{" + number(s.width) + ", " + number(s.height) + "}"; }

std::string toString(const Rect& r) { return "{" + toString(r.origin) + ", " + toString(r.size) + "}"; }

std::string toString(const EdgeInsets& e) {
    return "{" + number(e.top) + ", " + number(e.left) + ", " + number(e.bottom) + ", " + number(e.right) + "}";
}

std::ostream& operator<<(std::ostream& os, Point p) { return os << toString(p); }
std::ostream& operator<<(std::ostream& os, Size s) { return os << toString(s); }
std::ostream& operator<<(std::ostream& os, const Rect& r) { return os << toString(r); }

}  // namespace cg
