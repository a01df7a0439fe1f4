#pragma once
// An immutable decoded picture: the pixel holder that the view layer's image
// object wraps (adding scale, orientation and rendering mode). Sizes here are
// in pixels.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/ColorSpace.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/PictureAccount.h"
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
    explicit Image(Bitmap bitmap, PictureCharge charge = nullptr);
    Image(Bitmap bitmap, ImageAlphaInfo alphaInfo, PictureCharge charge = nullptr)
        : bitmap_(std::move(bitmap)),
          bitmapInfo_(BitmapInfo::ByteOrder32Little | uint32_t(alphaInfo)),
          charge_(std::move(charge)) {}
    // Pixels held as `bitmap`, described (and copied out) as `bitmapInfo`,
    // with the account's charge for them when they were made from data.
    Image(Bitmap bitmap, uint32_t bitmapInfo, PictureCharge charge = nullptr)
        : bitmap_(std::move(bitmap)), bitmapInfo_(bitmapInfo), charge_(std::move(charge)) {}
    static ns::Ref<Image> make(Bitmap bitmap, PictureCharge charge = nullptr) {
        return std::make_shared<Image>(std::move(bitmap), std::move(charge));
    }
    static ns::Ref<Image> make(Bitmap bitmap, ImageAlphaInfo alphaInfo, PictureCharge charge = nullptr) {
        return std::make_shared<Image>(std::move(bitmap), alphaInfo, std::move(charge));
    }
    // An image of 8-bit components, 32 bits per pixel, from bytes laid out
    // as `bitmapInfo` says (alpha info 1-6, any byte order): the platform's
    // image-from-provider call. Nil for other layouts, a row length shorter
    // than width * 4, or too few bytes.
    static ns::Ref<Image> createWithPixels(int width, int height, size_t bytesPerRow, uint32_t bitmapInfo,
                                           const uint8_t* bytes, size_t length);

    int width() const { return bitmap_.width(); }
    int height() const { return bitmap_.height(); }
    bool hasAlpha() const { return bitmap_.hasAlpha(); }
    const Bitmap& bitmap() const { return bitmap_; }
    ImageAlphaInfo alphaInfo() const { return ImageAlphaInfo(bitmapInfo_ & BitmapInfo::AlphaInfoMask); }
    uint32_t bitmapInfo() const { return bitmapInfo_; }
    // The account's charge for these pixels (see PictureAccount.h), nil
    // when they are not charged; it goes with the image.
    const PictureCharge& charge() const { return charge_; }
    // Device RGB: the only space pixels are held in.
    ns::Ref<ColorSpace> colorSpace() const;
    size_t bitsPerComponent() const { return 8; }
    size_t bitsPerPixel() const { return 32; }
    size_t bytesPerRow() const { return bitmap_.bytesPerRow(); }
    // The pixel bytes as the bitmap info lays them out, row after row (the
    // data provider's copy).
    std::vector<uint8_t> copyData() const;
    // The part inside `rect` (pixels, from the top left), clipped to the
    // image; nil when nothing is left.
    ns::Ref<Image> createWithImageInRect(int x, int y, int width, int height) const;
    // The same for a rect of any values: widened to whole pixels (its
    // edges floored and ceiled), then clipped; nil for a rect that is not
    // finite.
    ns::Ref<Image> createWithImageInRect(const Rect& rect) const;

    std::string description() const override;
    // Immutable: a copy is the image itself.
    ns::Id copy() const override { return self(); }

private:
    const Bitmap bitmap_;
    const uint32_t bitmapInfo_;
    const PictureCharge charge_;
};

}  // namespace cg
