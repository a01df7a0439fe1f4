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

void logPicturesKept(const char* reader, uint64_t kept, uint64_t count, const std::string& fileType,
                     const char* limit) {
    ns::log("%s: kept %llu of the %llu pictures of a %s file: the rest are past %s", reader,
            static_cast<unsigned long long>(kept), static_cast<unsigned long long>(count), fileType, limit);
}

uint64_t framesPlayed(uint64_t count, const char* player, const std::string& fileType) {
    if (count <= MaximumPicturesPerFile) return count;
    logPicturesKept(player, MaximumPicturesPerFile, count, fileType);
    return MaximumPicturesPerFile;
}

}  // namespace cg
