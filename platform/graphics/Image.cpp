#include "platform/graphics/Image.h"

#include <cstdio>

namespace cg {

RT_DEFINE_CLASS(Image, ns::Object, "CGImageRef")

Image::Image(Bitmap bitmap)
    : bitmap_(std::move(bitmap)),
      alphaInfo_(bitmap_.hasAlpha() ? ImageAlphaInfo::PremultipliedFirst : ImageAlphaInfo::NoneSkipFirst) {}

std::string Image::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<CGImageRef: %p> (%d x %d, %s)", static_cast<const void*>(this), width(), height(),
                  hasAlpha() ? "premultiplied ARGB" : "RGB");
    return buf;
}

}  // namespace cg
