#pragma once
// Colours from hexadecimal numbers, as the channel's screens write them.

#include <cstdint>

#include "platform/graphics/Color.h"

namespace XTExtention {

// 0xAARRGGBB; a top byte of 0 means opaque.
cg::Color fromHexValue(uint32_t argb);
// 0xRRGGBB (higher bits ignored) at the given alpha.
cg::Color fromHexValue(uint32_t rgb, double alpha);
// 0xRGB, four bits a component.
cg::Color fromShortHexValue(uint32_t rgb, double alpha = 1);

}  // namespace XTExtention
