#include "platform/graphics/ColorSpace.h"

namespace cg {

RT_DEFINE_CLASS(ColorSpace, ns::Object, "CGColorSpaceRef")

}  // namespace cg
