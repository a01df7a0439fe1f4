#include "platform/graphics/DecodeBudget.h"

#include "platform/foundation/Log.h"

namespace cg {

DecodeBudget::DecodeBudget(std::string file) : file_(std::move(file)) {}

void DecodeBudget::setFile(std::string file) {
    std::lock_guard lock(mutex_);
    file_ = std::move(file);
}

bool DecodeBudget::charge(size_t index, uint64_t pixels) {
    std::lock_guard lock(mutex_);
    if (index < charged_.size() && charged_[index]) return true;
    if (spent_) return false;
    if (pixels > MaximumPixelsPerFile - pixels_ || pictures_ + 1 > MaximumPicturesPerFile) {
        spent_ = true;
        ns::log("Image source: picture %zu of a %s file is past the file's budget (%llu pixels, %llu pictures): it "
                "and the pictures after it are not decoded",
                index, file_.empty() ? "image" : file_.c_str(), static_cast<unsigned long long>(MaximumPixelsPerFile),
                static_cast<unsigned long long>(MaximumPicturesPerFile));
        return false;
    }
    if (index >= charged_.size()) charged_.resize(index + 1);
    charged_[index] = true;
    pixels_ += pixels;
    ++pictures_;
    return true;
}

bool DecodeBudget::wasCharged(size_t index) const {
    std::lock_guard lock(mutex_);
    return index < charged_.size() && charged_[index];
}

bool DecodeBudget::isSpent() const {
    std::lock_guard lock(mutex_);
    return spent_;
}

uint64_t DecodeBudget::pixelsCharged() const {
    std::lock_guard lock(mutex_);
    return pixels_;
}

size_t DecodeBudget::picturesCharged() const {
    std::lock_guard lock(mutex_);
    return pictures_;
}

uint64_t framesPlayed(uint64_t count, const char* player) {
    if (count <= MaximumPicturesPerFile) return count;
    ns::log("%s: plays the first %llu of the %llu frames: the rest are past the file's budget", player,
            static_cast<unsigned long long>(MaximumPicturesPerFile), static_cast<unsigned long long>(count));
    return MaximumPicturesPerFile;
}

}  // namespace cg
