#pragma once
// An immutable decoded picture: the pixel holder that the view layer's image
// object wraps (adding scale, orientation and rendering mode). Sizes here are
// in pixels.

#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/runtime/Class.h"

namespace cg {

class Image : public ns::Object {
    RT_DECLARE_CLASS(Image)
public:
    explicit Image(Bitmap bitmap) : bitmap_(std::move(bitmap)) {}
    static ns::Ref<Image> make(Bitmap bitmap) { return std::make_shared<Image>(std::move(bitmap)); }

    int width() const { return bitmap_.width(); }
    int height() const { return bitmap_.height(); }
    bool hasAlpha() const { return bitmap_.hasAlpha(); }
    const Bitmap& bitmap() const { return bitmap_; }

    std::string description() const override;
    // Immutable: a copy is the image itself.
    ns::Id copy() const override { return self(); }

private:
    const Bitmap bitmap_;
};

}  // namespace cg
