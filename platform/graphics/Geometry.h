#pragma once
// Points, sizes, vectors, rectangles and edge insets, with the platform's
// rules: rect operations work on the standardized rect (negative sizes
// flipped), the null rect (infinite origin) is what a failed intersection
// gives, and nothing is rounded except by integral().

#include <iosfwd>
#include <string>

namespace cg {

struct Point {
    double x = 0;
    double y = 0;

    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;

    friend bool operator==(const Size&, const Size&) = default;
};

struct Vector {
    double dx = 0;
    double dy = 0;

    friend bool operator==(const Vector&, const Vector&) = default;
};

struct Rect {
    Point origin;
    Size size;

    Rect() = default;
    Rect(Point o, Size s) : origin(o), size(s) {}
    Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}

    // What an empty intersection gives: origin at +infinity, zero size.
    static Rect null();
    static Rect zero() { return {}; }

    double minX() const;
    double midX() const;
    double maxX() const;
    double minY() const;
    double midY() const;
    double maxY() const;
    // Absolute width and height.
    double width() const;
    double height() const;

    bool isNull() const;
    // Null, or zero width or height.
    bool isEmpty() const;

    Rect standardized() const;
    // Grows (negative) or shrinks (positive) each side; null when a side
    // would go below zero.
    Rect insetBy(double dx, double dy) const;
    Rect offsetBy(double dx, double dy) const;
    // Smallest rect with whole-number edges enclosing this one.
    Rect integral() const;
    // Null rects are ignored; two nulls give null.
    Rect unionWith(const Rect& other) const;
    // Null when the rects do not meet; rects that only touch give a
    // zero-width or zero-height rect on the shared edge.
    Rect intersection(const Rect& other) const;
    // True only for an overlap of positive area.
    bool intersects(const Rect& other) const;
    // Half-open: the min edges are inside, the max edges are not.
    bool containsPoint(Point p) const;
    bool containsRect(const Rect& other) const;

    // Compares the standardized rects; two nulls are equal.
    friend bool operator==(const Rect& a, const Rect& b);
};

struct EdgeInsets {
    double top = 0;
    double left = 0;
    double bottom = 0;
    double right = 0;

    // Plain arithmetic, no standardizing: negative insets grow the rect.
    Rect insetRect(const Rect& r) const {
        return {r.origin.x + left, r.origin.y + top, r.size.width - left - right, r.size.height - top - bottom};
    }

    friend bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// Brace forms for logs and tree dumps, numbers in their shortest exact
// decimal: "{1, 2.5}", "{{0, 0}, {10, 20}}", "{top, left, bottom, right}".
std::string toString(Point p);
std::string toString(Size s);
std::string toString(const Rect& r);
std::string toString(const EdgeInsets& e);

// For test failure messages.
std::ostream& operator<<(std::ostream& os, Point p);
std::ostream& operator<<(std::ostream& os, Size s);
std::ostream& operator<<(std::ostream& os, const Rect& r);

}  // namespace cg
