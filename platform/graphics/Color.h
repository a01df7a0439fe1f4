#pragma once
// A colour as a value: straight (not premultiplied) RGBA, each 0..1, in the
// device RGB space. Views and contexts take these; the view layer's colour
// object wraps one.

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string_view>

namespace cg {

struct Color {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 0;

    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    // A grey: white level w for every component.
    static constexpr Color fromWhite(double w, double a = 1) { return {w, w, w, a}; }
    // Components as 0..255 bytes.
    static constexpr Color fromBytes(int r, int g, int b, double a = 1) { return {r / 255.0, g / 255.0, b / 255.0, a}; }
    // 0xRRGGBB; bits above the low 24 are ignored.
    static Color fromRGB(uint32_t rgb, double alpha = 1);
    // Text forms "#RRGGBB", "RRGGBB", "0xRRGGBB", "#RGB", "RGB" and, with
    // alpha last, "#RRGGBBAA" / "RRGGBBAA" / "0xRRGGBBAA". Digits are either
    // case; anything else (spaces included) gives nothing.
    static std::optional<Color> fromHex(std::string_view text);

    Color withAlpha(double a) const { return {red, green, blue, a}; }
    // Every component clamped to 0..1, as the drawing uses it.
    Color clamped() const;
    // Each component within `tolerance` of the other's.
    bool isClose(const Color& other, double tolerance = 1e-9) const;

    friend bool operator==(const Color&, const Color&) = default;
};

// "rgba(r, g, b, a)" with 0..1 components, for failure messages.
std::ostream& operator<<(std::ostream& os, const Color& c);

}  // namespace cg
