// Small GIFs made into the platform's animated image: every frame decoded
// up front and repeated so that equal steps of time show it for its delay.

#include <cfloat>
#include <cmath>
#include <numeric>

#include "image/UIImage+TVWebImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/ImageSource.h"

namespace {

// Delays are counted in steps of this many seconds.
constexpr double GifTick = 0.02;
// Anything shorter plays as a tenth, as browsers do.
constexpr double MinimumGifDelay = 0.02;
constexpr double ShortGifDelay = 0.1;

double frameDelay(const cg::ImageSource& source, size_t index) {
    auto properties = source.propertiesAtIndex(index);
    if (!properties) return 0;
    double delay = properties->unclampedDelayTime.value_or(0);
    if (delay <= FLT_EPSILON) delay = properties->delayTime.value_or(0);
    return delay;
}

}  // namespace

ns::Ref<ui::Image> TV_imageWithSmallGIFData(const ns::Ref<ns::Data>& data, double scale) {
    if (!data) return nullptr;
    auto source = cg::ImageSource::createWithData(std::span<const uint8_t>(data->bytes(), data->length()));
    if (!source) return nullptr;
    size_t count = source->count();
    if (count <= 1) return ui::Image::imageWithData(data, scale);
    // Every frame is kept: only the leading ones the file's budget holds.
    size_t kept = 0;
    while (kept < count && source->chargeAtIndex(kept)) ++kept;
    if (kept < count) ns::log("GIF: kept %zu of the %zu frames: the rest are past the file's budget", kept, count);

    std::vector<uint64_t> ticks;
    double total = 0;
    uint64_t divisor = 0;
    for (size_t i = 0; i < kept; ++i) {
        double delay = frameDelay(*source, i);
        if (delay < MinimumGifDelay) delay = ShortGifDelay;
        // Ties go to the even neighbour: 0.05 s is 2 ticks.
        double rounded = std::nearbyint(delay / GifTick);
        uint64_t frameTicks = rounded < 1 ? 1 : uint64_t(rounded);
        ticks.push_back(frameTicks);
        total += delay;
        divisor = std::gcd(divisor, frameTicks);
    }

    std::vector<ns::Ref<ui::Image>> frames;
    for (size_t i = 0; i < kept; ++i) {
        auto picture = source->createImageAtIndex(i);
        if (!picture || picture->width() == 0 || picture->height() == 0) return nullptr;
        uint32_t alphaInfo = picture->bitmapInfo() & cg::BitmapInfo::AlphaInfoMask;
        bool alpha = alphaInfo >= 1 && alphaInfo <= 4;
        auto bitmap = cg::BitmapContext::createWithPixels(
            picture->width(), picture->height(),
            alpha ? cg::BitmapInfo::PremultipliedFirst32Little : cg::BitmapInfo::NoneSkipFirst32Little);
        if (!bitmap) return nullptr;
        bitmap->drawImageBottomUp(*picture, {0, 0, double(picture->width()), double(picture->height())});
        auto frame = ui::Image::imageWithCGImage(bitmap->makeImage(), scale, ui::ImageOrientation::Up);
        if (!frame) return nullptr;
        frames.insert(frames.end(), size_t(ticks[i] / divisor), frame);
    }
    return ui::Image::animatedImageWithImages(std::move(frames), total);
}
