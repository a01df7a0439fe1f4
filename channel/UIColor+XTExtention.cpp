#include "channel/UIColor+XTExtention.h"

namespace XTExtention {

cg::Color fromHexValue(uint32_t argb) {
    uint32_t alpha = argb >> 24;
    return fromHexValue(argb, alpha == 0 ? 1.0 : alpha / 255.0);
}

cg::Color fromHexValue(uint32_t rgb, double alpha) {
    return {((rgb >> 16) & 0xff) / 255.0, ((rgb >> 8) & 0xff) / 255.0, (rgb & 0xff) / 255.0, alpha};
}

cg::Color fromShortHexValue(uint32_t rgb, double alpha) {
    return {((rgb >> 8) & 0xf) / 15.0, ((rgb >> 4) & 0xf) / 15.0, (rgb & 0xf) / 15.0, alpha};
}

}  // namespace XTExtention
