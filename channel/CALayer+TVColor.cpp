#include "channel/CALayer+TVColor.h"

namespace TVColor {

std::optional<cg::Color> borderUIColor(const ui::Layer& layer) {
    return layer.borderColor();
}

void setBorderUIColor(ui::Layer& layer, std::optional<cg::Color> color) {
    layer.setBorderColor(color);
}

}  // namespace TVColor
