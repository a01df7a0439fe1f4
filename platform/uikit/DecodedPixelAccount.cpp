#include "platform/uikit/DecodedPixelAccount.h"

#include <algorithm>

namespace ui {

DecodedPixelAccount& DecodedPixelAccount::shared() {
    // Never destroyed: pictures let go at exit still release into it.
    static auto* account = new DecodedPixelAccount();
    return *account;
}

std::shared_ptr<const void> DecodedPixelAccount::charge(uint64_t pixels) {
    {
        std::lock_guard lock(mutex_);
        if (pixels > limit_ || held_ > limit_ - pixels) return nullptr;
        held_ += pixels;
    }
    // The holder owns nothing: its deleter is the release.
    return std::shared_ptr<const void>(this, [this, pixels](const void*) { release(pixels); });
}

ns::Ref<cg::Image> DecodedPixelAccount::holding(ns::Ref<cg::Image> image, std::shared_ptr<const void> charge) {
    if (!image) return nullptr;
    struct Held {
        ns::Ref<cg::Image> image;
        std::shared_ptr<const void> charge;
    };
    auto held = std::make_shared<Held>(Held{std::move(image), std::move(charge)});
    cg::Image* pixels = held->image.get();
    // Shares the holder's ownership: the image lives as long as any copy.
    return ns::Ref<cg::Image>(std::move(held), pixels);
}

void DecodedPixelAccount::release(uint64_t pixels) {
    std::lock_guard lock(mutex_);
    held_ -= std::min(pixels, held_);
}

uint64_t DecodedPixelAccount::pixelsHeld() const {
    std::lock_guard lock(mutex_);
    return held_;
}

uint64_t DecodedPixelAccount::limit() const {
    std::lock_guard lock(mutex_);
    return limit_;
}

void DecodedPixelAccount::setLimitForTesting(uint64_t pixels) {
    std::lock_guard lock(mutex_);
    limit_ = pixels;
}

}  // namespace ui
