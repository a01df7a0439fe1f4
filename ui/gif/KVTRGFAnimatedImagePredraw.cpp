// Predrawing: a frame redrawn into a bitmap of its own on the decoding
// queue, so that the pixels are ready before the main thread shows them.
#include "platform/foundation/Format.h"
#include "platform/graphics/BitmapContext.h"
#include "ui/gif/KVTRGFAnimatedImage.h"

namespace {

// The alpha layouts a bitmap context can take: none becomes skipped,
// straight alpha becomes premultiplied.
cg::ImageAlphaInfo drawableAlphaInfo(cg::ImageAlphaInfo info) {
    switch (info) {
    case cg::ImageAlphaInfo::None:
    case cg::ImageAlphaInfo::Only: return cg::ImageAlphaInfo::NoneSkipFirst;
    case cg::ImageAlphaInfo::Last: return cg::ImageAlphaInfo::PremultipliedLast;
    case cg::ImageAlphaInfo::First: return cg::ImageAlphaInfo::PremultipliedFirst;
    default: return info;
    }
}

bool hasAlpha(cg::ImageAlphaInfo info) {
    return info != cg::ImageAlphaInfo::NoneSkipFirst && info != cg::ImageAlphaInfo::NoneSkipLast &&
           info != cg::ImageAlphaInfo::None;
}

}  // namespace

ns::Ref<ui::Image> KVTRGFAnimatedImage::predrawnImageFromImage(const ns::Ref<ui::Image>& image) {
    if (!image || !image->cgImage()) return image;
    const auto& bitmap = image->cgImage();
    cg::Size size = image->size();
    auto width = uint64_t(size.width);
    auto height = uint64_t(size.height);
    const uint64_t components = 4;
    auto alphaInfo = drawableAlphaInfo(bitmap->alphaInfo());
    auto context = cg::BitmapContext::create({double(width), double(height)}, 1, !hasAlpha(alphaInfo));
    if (!context) {
        logStringFromBlock(
            [&] {
                return ns::format("Failed to `CGBitmapContextCreate` with color space %@ and parameters (width: %zu "
                                  "height: %zu bitsPerComponent: %zu bytesPerRow: %zu) for image %@",
                                  std::string("<CGColorSpace kCGColorSpaceDeviceRGB>"), width, height, 8,
                                  components * width, image->description());
            },
            KVTRGFLogLevel::Error);
        return image;
    }
    context->drawImage(*bitmap, {0, 0, double(width), double(height)});
    auto drawn = context->makeImage();
    // The copy shown in the frame's place keeps the frame's charge.
    auto predrawn = drawn ? ui::Image::imageWithCGImage(cg::Image::make(drawn->bitmap(), alphaInfo, bitmap->charge()),
                                                        image->scale())
                          : nullptr;
    if (!predrawn) {
        logStringFromBlock(
            [&] {
                return ns::format("Failed to `imageWithCGImage:scale:orientation:` with image ref %@ created with color "
                                  "space %@ and bitmap context %@ and properties and properties (scale: %f orientation: "
                                  "%ld) for image %@",
                                  drawn ? drawn->description() : std::string("(null)"),
                                  std::string("<CGColorSpace kCGColorSpaceDeviceRGB>"), std::string("<CGContext>"),
                                  image->scale(), 0L, image->description());
            },
            KVTRGFLogLevel::Error);
        return image;
    }
    return predrawn;
}
