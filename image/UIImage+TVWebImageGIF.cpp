// Small GIFs made into the platform's animated image: every frame decoded
// up front and repeated so that equal steps of time show it for its delay.
// The list holds no more entries than a file may keep pictures: delays
// whose common step would need more (0.02 s beside 655.35 s makes 32,768
// entries a pair) are counted in a coarser step, each frame at least once.

#include <cfloat>
#include <cmath>
#include <algorithm>
#include <numeric>

#include "image/UIImage+TVWebImage.h"
#include "platform/foundation/Log.h"
#include "platform/graphics/DecodeBudget.h"
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

// Entries of the frame list at most.
constexpr uint64_t MaximumGifEntries = cg::MaximumPicturesPerFile;

// The step frames are repeated by: their common divisor, unless that
// makes more entries than the list holds.
uint64_t repeatStep(const std::vector<uint64_t>& ticks, uint64_t divisor) {
    uint64_t entries = 0;
    uint64_t total = 0;
    for (uint64_t t : ticks) {
        entries += t / divisor;
        total += t;
    }
    if (entries <= MaximumGifEntries) return divisor;
    // Each frame takes at most its share of what is left beside one entry
    // for every frame, so that the entries stay within the list.
    const uint64_t spare = MaximumGifEntries - std::min<uint64_t>(ticks.size(), MaximumGifEntries);
    const uint64_t step = spare == 0 ? total : (total + spare - 1) / spare;
    ns::log("GIF: its delays would repeat its %zu frames %llu times: counted in steps of %.2f s instead of %.2f s",
            ticks.size(), static_cast<unsigned long long>(entries), double(step) * GifTick, double(divisor) * GifTick);
    return std::max(step, divisor);
}

}  // namespace

ns::Ref<ui::Image> TV_imageWithSmallGIFData(const ns::Ref<ns::Data>& data, double scale) {
    if (!data) return nullptr;
    auto source = cg::ImageSource::createWithData(data);
    if (!source) return nullptr;
    size_t count = source->count();
    if (count <= 1) return ui::Image::imageWithData(data, scale);
    // Every frame is kept: only the leading ones the file's budget holds.
    size_t kept = 0;
    while (kept < count && source->chargeAtIndex(kept)) ++kept;
    if (kept < count) cg::logPicturesKept("GIF", kept, count, source->type());

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

    const uint64_t step = repeatStep(ticks, divisor);
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
        auto frame = ui::Image::imageWithCGImage(bitmap->takeImage(), scale, ui::ImageOrientation::Up);
        if (!frame) return nullptr;
        frames.insert(frames.end(), size_t(std::max<uint64_t>(ticks[i] / step, 1)), frame);
    }
    return ui::Image::animatedImageWithImages(std::move(frames), total);
}
