#pragma once
// Colours as views know them: the graphics colour value itself, with the
// platform's factory names. A view's optional colours (background, tint)
// are std::optional<Color>, nil being "no colour" rather than clear.

#include <cstdint>
#include <optional>
#include <string_view>

#include "platform/graphics/Color.h"

namespace ui {

using Color = cg::Color;

constexpr Color colorWithRed(double red, double green, double blue, double alpha) {
    return {red, green, blue, alpha};
}
constexpr Color colorWithWhite(double white, double alpha) { return {white, white, white, alpha}; }
// 0xRRGGBB; higher bits are ignored.
inline Color colorWithHex(uint32_t rgb, double alpha = 1) { return cg::Color::fromRGB(rgb, alpha); }
// "#RRGGBB" and the other forms cg::Color::fromHex reads.
inline std::optional<Color> colorWithHexString(std::string_view text) { return cg::Color::fromHex(text); }

// The platform's named colours, with its component values.
constexpr Color blackColor() { return {0, 0, 0, 1}; }
constexpr Color darkGrayColor() { return {1.0 / 3, 1.0 / 3, 1.0 / 3, 1}; }
constexpr Color lightGrayColor() { return {2.0 / 3, 2.0 / 3, 2.0 / 3, 1}; }
constexpr Color whiteColor() { return {1, 1, 1, 1}; }
constexpr Color grayColor() { return {0.5, 0.5, 0.5, 1}; }
constexpr Color redColor() { return {1, 0, 0, 1}; }
constexpr Color greenColor() { return {0, 1, 0, 1}; }
constexpr Color blueColor() { return {0, 0, 1, 1}; }
constexpr Color cyanColor() { return {0, 1, 1, 1}; }
constexpr Color yellowColor() { return {1, 1, 0, 1}; }
constexpr Color magentaColor() { return {1, 0, 1, 1}; }
constexpr Color orangeColor() { return {1, 0.5, 0, 1}; }
constexpr Color purpleColor() { return {0.5, 0, 0.5, 1}; }
constexpr Color brownColor() { return {0.6, 0.4, 0.2, 1}; }
constexpr Color clearColor() { return {0, 0, 0, 0}; }

}  // namespace ui
