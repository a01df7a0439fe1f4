#pragma once
// One drawing call as a context recorded it, so tests can check what was
// drawn without comparing pixels. Numbers are the call's own arguments in
// user space, in the order listed beside each kind; unused slots are 0.

#include <array>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>

namespace cg {

struct DrawingRecord {
    enum class Kind : uint8_t {
        SaveGState,       // -
        RestoreGState,    // -
        TranslateCTM,     // tx, ty
        ScaleCTM,         // sx, sy
        RotateCTM,        // angle
        ConcatCTM,        // a, b, c, d, tx, ty
        FillColor,        // r, g, b, a
        StrokeColor,      // r, g, b, a
        LineWidth,        // width
        LineCap,          // cap
        LineJoin,         // join
        Alpha,            // alpha
        BlendMode,        // mode
        Antialias,        // 1 on, 0 off
        Interpolation,    // quality
        BeginPath,        // -
        MoveTo,           // x, y
        LineTo,           // x, y
        CurveTo,          // cp1x, cp1y, cp2x, cp2y, x, y
        QuadCurveTo,      // cpx, cpy, x, y
        // cx, cy, radius, start, end, sweep: +1 when the angle grows from
        // start to end (clockwise on screen in these y-down contexts), -1
        // when it shrinks.
        Arc,
        ArcToPoint,       // x1, y1, x2, y2, radius
        Rect,             // x, y, w, h
        Ellipse,          // x, y, w, h (the bounding rect)
        RoundedRect,      // x, y, w, h, radius
        ClosePath,        // -
        // The state the path was painted with: r, g, b, a of the fill colour,
        // 1 for the even-odd rule, blend mode, global alpha.
        Fill,
        // r, g, b, a of the stroke colour, line width, blend mode, global alpha.
        Stroke,
        FillRect,         // x, y, w, h
        StrokeRect,       // x, y, w, h
        ClearRect,        // x, y, w, h
        Clip,             // 1 for the even-odd rule
        ClipToRect,       // x, y, w, h
        // x, y, w, h, pixel width, pixel height, 1 when drawn bottom-up
        DrawImage,
        Text,             // x, y, font size, r, g, b, a; `text` holds the run
        LinearGradient,   // x0, y0, x1, y1, stop count
        RadialGradient,   // x0, y0, r0, x1, y1, r1, stop count
    };

    Kind kind;
    std::array<double, 7> n{};
    std::string text;

    double operator[](size_t i) const { return n[i]; }
};

std::string_view kindName(DrawingRecord::Kind kind);
// "arc 24 24 18 -1.5708 4.71239 1": the kind's name and its used numbers.
std::string describe(const DrawingRecord& record);
std::ostream& operator<<(std::ostream& os, const DrawingRecord& record);

}  // namespace cg
