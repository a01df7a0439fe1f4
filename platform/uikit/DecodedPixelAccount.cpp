#include "platform/uikit/DecodedPixelAccount.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "platform/uikit/Application.h"

namespace ui {

namespace {
// Installed when this layer is loaded, before any picture is decoded.
[[maybe_unused]] const bool installed = [] {
    cg::PictureAccount::install(&DecodedPixelAccount::shared());
    return true;
}();
}  // namespace

DecodedPixelAccount& DecodedPixelAccount::shared() {
    // Never destroyed: pictures let go at exit still release into it.
    static auto* account = new DecodedPixelAccount();
    return *account;
}

cg::PictureCharge DecodedPixelAccount::charge(uint64_t pixels) {
    {
        std::lock_guard lock(mutex_);
        if (pixels <= limit_ && held_ <= limit_ - pixels) {
            held_ += pixels;
            // The holder owns nothing: its deleter is the release.
            return cg::PictureCharge(this, [this, pixels](const void*) { release(pixels); });
        }
        // A picture past the whole account: nothing let go would make room.
        if (!warningDue_ || pixels > limit_) return nullptr;
        warningDue_ = false;
        ++warnings_;
        ns::log("Memory: pictures decoded from data hold %llu of the %llu pixels they may: the app is warned that "
                "memory runs short",
                static_cast<unsigned long long>(held_), static_cast<unsigned long long>(limit_));
    }
    // Later, on the main queue, as the system warns: the caches empty there.
    dispatch::mainQueue()->async([] { Application::sharedApplication()->receiveMemoryWarning(); });
    return nullptr;
}

void DecodedPixelAccount::release(uint64_t pixels) {
    std::vector<Waiter> waiters;
    {
        std::lock_guard lock(mutex_);
        held_ -= std::min(pixels, held_);
        warningDue_ = true;
        // A picture may hold several charges (its pixels, the screens its
        // reader keeps), let go one by one as caches empty: a reader asks
        // again once half the account is free, not at the first of them.
        if (held_ <= limit_ / 2) waiters.swap(waiters_);
    }
    // Queued, never run here: the last holder may go under any lock.
    for (auto& waiter : waiters) waiter.queue->async(std::move(waiter.block));
}

void DecodedPixelAccount::notifyWhenPicturesAreLetGo(dispatch::QueueRef queue, std::function<void()> block) {
    std::lock_guard lock(mutex_);
    waiters_.push_back({std::move(queue), std::move(block)});
}

uint64_t DecodedPixelAccount::pixelsHeld() const {
    std::lock_guard lock(mutex_);
    return held_;
}

uint64_t DecodedPixelAccount::limit() const {
    std::lock_guard lock(mutex_);
    return limit_;
}

uint64_t DecodedPixelAccount::warningsPosted() const {
    std::lock_guard lock(mutex_);
    return warnings_;
}

void DecodedPixelAccount::setLimitForTesting(uint64_t pixels) {
    std::lock_guard lock(mutex_);
    limit_ = pixels;
    warningDue_ = true;
}

}  // namespace ui
