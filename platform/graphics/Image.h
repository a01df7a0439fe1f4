#pragma once
// An immutable decoded picture: the pixel holder that the view layer's image
// object wraps (adding scale, orientation and rendering mode). Sizes here are
// in pixels.

#include <memory>
#include <string>

#include "platform/graphics/Bitmap.h"
#include "platform/runtime/Class.h"

namespace cg {

// How a bitmap's words hold alpha, by the platform's numbers. The pixels
// here are always native-endian ARGB words; the info says how their maker
// meant them (a decoder may tag a frame as straight alpha).
enum class ImageAlphaInfo {
    None = 0,
    PremultipliedLast = 1,
    PremultipliedFirst = 2,
    Last = 3,
    First = 4,
    NoneSkipLast = 5,
    NoneSkipFirst = 6,
    Only = 7,
};

class Image : public ns::Object {
    RT_DECLARE_CLASS(Image)
public:
    // Alpha info from the bitmap's format: PremultipliedFirst or NoneSkipFirst.
    explicit Image(Bitmap bitmap);
    Image(Bitmap bitmap, ImageAlphaInfo alphaInfo) : bitmap_(std::move(bitmap)), alphaInfo_(alphaInfo) {}
    static ns::Ref<Image> make(Bitmap bitmap) { return std::make_shared<Image>(std::move(bitmap)); }
    static ns::Ref<Image> make(Bitmap bitmap, ImageAlphaInfo alphaInfo) {
        return std::make_shared<Image>(std::move(bitmap), alphaInfo);
    }

    int width() const { return bitmap_.width(); }
    int height() const { return bitmap_.height(); }
    bool hasAlpha() const { return bitmap_.hasAlpha(); }
    const Bitmap& bitmap() const { return bitmap_; }
    ImageAlphaInfo alphaInfo() const { return alphaInfo_; }
    size_t bytesPerRow() const { return bitmap_.bytesPerRow(); }

    std::string description() const override;
    // Immutable: a copy is the image itself.
    ns::Id copy() const override { return self(); }

private:
    const Bitmap bitmap_;
    const ImageAlphaInfo alphaInfo_;
};

}  // namespace cg
