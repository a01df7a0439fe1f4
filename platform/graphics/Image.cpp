#include "platform/graphics/Image.h"

#include <cstdio>

namespace cg {

RT_DEFINE_CLASS(Image, ns::Object, "CGImageRef")

std::string Image::description() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "<CGImageRef: %p> (%d x %d, %s)", static_cast<const void*>(this), width(), height(),
                  hasAlpha() ? "premultiplied ARGB" : "RGB");
    return buf;
}

}  // namespace cg
