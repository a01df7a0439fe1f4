// The effect pipeline: box blur, saturation, then tint and mask, with its
// five presets. The pixels are filtered in premultiplied ARGB words.

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <utility>

#include "image/TVImageContext.h"
#include "image/UIImage+TVWebImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/ImageFilters.h"
#include "platform/uikit/GraphicsContext.h"

namespace {

constexpr uint32_t BlurLayout = cg::BitmapInfo::PremultipliedFirst32Little;
constexpr double SqrtTwoPi = 2.5066282746310002;

// The effect laid over the receiver: tint in its blend mode, inside the
// mask. Without either, the effect alone at the receiver's scale and
// orientation, so it measures and turns as the receiver does.
ns::Ref<ui::Image> merged(const ui::Image& image, const ns::Ref<cg::Image>& effect,
                          const std::optional<cg::Color>& tintColor, cg::BlendMode tintMode,
                          const ns::Ref<ui::Image>& maskImage, bool opaque) {
    bool hasTint = tintColor && tintColor->alpha > FLT_EPSILON;
    auto effectImage = ui::Image::imageWithCGImage(effect, image.scale(), image.imageOrientation());
    if (!hasTint && !maskImage) return effectImage;
    const cg::Size size = image.size();
    const cg::Rect canvas{0, 0, size.width, size.height};
    // The effect and tint are drawn on a layer of their own, cut to the
    // mask's alpha, then laid over the receiver.
    auto layer = TVDrawInImageContext(size, false, image.scale(), [&](cg::BitmapContext& context) {
        ui::imageDrawInRect(*effectImage, canvas);
        if (hasTint) {
            context.saveGState();
            context.setBlendMode(tintMode);
            context.setFillColor(*tintColor);
            context.fillRect(canvas);
            context.restoreGState();
        }
        if (maskImage) {
            context.setBlendMode(cg::BlendMode::DestinationIn);
            context.drawImage(*maskImage->cgImage(), canvas);
        }
    });
    if (!layer) return nullptr;
    return TVDrawInImageContext(size, opaque, image.scale(), [&](cg::BitmapContext&) {
        if (maskImage) ui::imageDrawInRect(image, canvas);
        ui::imageDrawInRect(*layer, canvas);
    });
}

// The colour matrix of a saturation factor, in 1/256 steps; rows are the
// input channels and columns the outputs, both blue, green, red, alpha.
void saturationMatrix(double s, int16_t matrix[16]) {
    const double entries[16] = {
        0.0722 + 0.9278 * s, 0.0722 - 0.0722 * s, 0.0722 - 0.0722 * s, 0,
        0.7152 - 0.7152 * s, 0.7152 + 0.2848 * s, 0.7152 - 0.7152 * s, 0,
        0.2126 - 0.2126 * s, 0.2126 - 0.2126 * s, 0.2126 + 0.7873 * s, 0,
        0,                   0,                   0,                   1,
    };
    for (int i = 0; i < 16; ++i) matrix[i] = int16_t(std::lround(entries[i] * 256));
}

}  // namespace

TVBoxBlurShape TVBoxBlurShapeForRadius(double inputRadius) {
    double radius = inputRadius - 2 < FLT_EPSILON ? 2 : inputRadius;
    auto size = uint32_t(std::floor((radius * 3 * SqrtTwoPi / 4 + 0.5) / 2));
    TVBoxBlurShape shape;
    shape.kernelSize = size | 1;
    shape.passes = inputRadius < 0.5 ? 1 : inputRadius < 1.5 ? 2 : 3;
    return shape;
}

ns::Ref<ui::Image> TV_imageByBlurRadius(const ui::Image& image, double blurRadius,
                                        const std::optional<cg::Color>& tintColor, cg::BlendMode tintMode,
                                        double saturation, const ns::Ref<ui::Image>& maskImage) {
    cg::Size size = image.size();
    if (size.width < 1 || size.height < 1) {
        ns::log("UIImage+TVAdd error: invalid size: (%.2f x %.2f). Both dimensions must be >= 1: %@", size.width,
                size.height, image.description());
        return nullptr;
    }
    if (!image.cgImage()) {
        ns::log("UIImage+TVAdd error: inputImage must be backed by a CGImage: %@", image.description());
        return nullptr;
    }
    if (maskImage && !maskImage->cgImage()) {
        ns::log("UIImage+TVAdd error: effectMaskImage must be backed by a CGImage: %@", maskImage->description());
        return nullptr;
    }
    bool hasBlur = blurRadius > FLT_EPSILON;
    bool hasSaturation = std::fabs(saturation - 1) > FLT_EPSILON;
    if (!hasBlur && !hasSaturation) return merged(image, image.cgImage(), tintColor, tintMode, maskImage, false);

    cg::PixelBuffer effect, scratch;
    cg::ImageError error = cg::initBufferWithImage(&effect, BlurLayout, *image.cgImage(),
                                                   cg::ImageFlags::PrintDiagnosticsToConsole);
    if (error != cg::ImageNoError) {
        ns::log("UIImage+TVAdd error: vImageBuffer_InitWithCGImage returned error code %zi for inputImage: %@", error,
                image.description());
        return nullptr;
    }
    error = cg::initBuffer(&scratch, effect.height, effect.width, 32, cg::ImageFlags::NoFlags);
    if (error != cg::ImageNoError) {
        ns::log("UIImage+TVAdd error: vImageBuffer_Init returned error code %zi for inputImage: %@", error,
                image.description());
        std::free(effect.data);
        return nullptr;
    }
    cg::PixelBuffer* input = &effect;
    cg::PixelBuffer* output = &scratch;

    if (hasBlur) {
        TVBoxBlurShape shape = TVBoxBlurShapeForRadius(blurRadius * image.scale());
        const uint32_t flags = cg::ImageFlags::EdgeExtend;
        cg::ImageError tempSize = cg::boxConvolveARGB8888(*input, *output, nullptr, shape.kernelSize, shape.kernelSize,
                                                          flags | cg::ImageFlags::GetTempBufferSize);
        void* temp = tempSize > 0 ? std::malloc(size_t(tempSize)) : nullptr;
        for (int pass = 0; pass < shape.passes; ++pass) {
            cg::boxConvolveARGB8888(*input, *output, temp, shape.kernelSize, shape.kernelSize, flags);
            std::swap(input, output);
        }
        std::free(temp);
    }
    if (hasSaturation) {
        int16_t matrix[16];
        saturationMatrix(saturation, matrix);
        cg::matrixMultiplyARGB8888(*input, *output, matrix, 256, cg::ImageFlags::NoFlags);
        std::swap(input, output);
    }

    auto result = cg::createImageFromBuffer(input, BlurLayout, cg::ImageFlags::NoAllocate, nullptr);
    if (!result) {
        result = cg::createImageFromBuffer(input, BlurLayout, cg::ImageFlags::NoFlags, nullptr);
        std::free(input->data);
    }
    std::free(output->data);
    if (!result) return nullptr;
    return merged(image, result, tintColor, tintMode, maskImage, false);
}

// ---- Presets ----

ns::Ref<ui::Image> TV_imageByGrayscale(const ui::Image& image) {
    return TV_imageByBlurRadius(image, 0, std::nullopt, cg::BlendMode::Normal, 0, nullptr);
}

ns::Ref<ui::Image> TV_imageByBlurSoft(const ui::Image& image) {
    return TV_imageByBlurRadius(image, 60, cg::Color::fromWhite(0.84, 0.36), cg::BlendMode::Normal, 1.8, nullptr);
}

ns::Ref<ui::Image> TV_imageByBlurLight(const ui::Image& image) {
    return TV_imageByBlurRadius(image, 60, cg::Color::fromWhite(1.0, 0.3), cg::BlendMode::Normal, 1.8, nullptr);
}

ns::Ref<ui::Image> TV_imageByBlurExtraLight(const ui::Image& image) {
    return TV_imageByBlurRadius(image, 40, cg::Color::fromWhite(0.97, 0.82), cg::BlendMode::Normal, 1.8, nullptr);
}

ns::Ref<ui::Image> TV_imageByBlurDark(const ui::Image& image) {
    return TV_imageByBlurRadius(image, 40, cg::Color::fromWhite(0.11, 0.73), cg::BlendMode::Normal, 1.8, nullptr);
}

ns::Ref<ui::Image> TV_imageByBlurWithTint(const ui::Image& image, const cg::Color& tintColor) {
    // Colours here are all red, green and blue: the tint keeps those.
    return TV_imageByBlurRadius(image, 20, tintColor.withAlpha(0.6), cg::BlendMode::Normal, -1.0, nullptr);
}
