#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>
#include <ostream>

namespace cg {

namespace {

int hexDigit(char ch) {
    if (ch >= '0' && ch <= '9') return ch - '0';
    if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
    if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
    return -1;
}

double clamp01(double v) { return std::clamp(v, 0.0, 1.0); }

}  // namespace

Color Color::fromRGB(uint32_t rgb, double alpha) {
    return fromBytes(int((rgb >> 16) & 0xff), int((rgb >> 8) & 0xff), int(rgb & 0xff), alpha);
}

std::optional<Color> Color::fromHex(std::string_view text) {
    if (text.starts_with('#')) {
        text.remove_prefix(1);
    } else if (text.starts_with("0x") || text.starts_with("0X")) {
        text.remove_prefix(2);
    }
    if (text.size() != 3 && text.size() != 6 && text.size() != 8) return std::nullopt;
    uint32_t value = 0;
    for (char ch : text) {
        int digit = hexDigit(ch);
        if (digit < 0) return std::nullopt;
        value = value << 4 | uint32_t(digit);
    }
    switch (text.size()) {
    case 3:
        // Each digit stands for itself repeated: F -> FF.
        return fromBytes(int(value >> 8) * 17, int((value >> 4) & 0xf) * 17, int(value & 0xf) * 17);
    case 6:
        return fromRGB(value);
    default:
        return fromRGB(value >> 8, (value & 0xff) / 255.0);
    }
}

Color Color::clamped() const { return {clamp01(red), clamp01(green), clamp01(blue), clamp01(alpha)}; }

bool Color::isClose(const Color& o, double tolerance) const {
    return std::fabs(red - o.red) <= tolerance && std::fabs(green - o.green) <= tolerance &&
           std::fabs(blue - o.blue) <= tolerance && std::fabs(alpha - o.alpha) <= tolerance;
}

std::ostream& operator<<(std::ostream& os, const Color& c) {
    return os << "rgba(" << c.red << ", " << c.green << ", " << c.blue << ", " << c.alpha << ")";
}

}  // namespace cg
