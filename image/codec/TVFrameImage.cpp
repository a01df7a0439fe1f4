#include "image/codec/TVFrameImage.h"

#include "image/codec/UIImage+TVImageCoder.h"
#include "platform/uikit/Screen.h"

RT_DEFINE_CLASS(TVFrameImage, ui::Image, "TVFrameImage")

namespace {

ns::Ref<ui::Image> decodedImageAtPath(const std::string& path) {
    auto data = ns::Data::withContentsOfFile(path);
    auto image = data ? ui::Image::imageWithData(data, TVScaleFromImagePath(path)) : nullptr;
    return image ? TV_imageByDecoded(image) : nullptr;
}

ns::Ref<ui::Image> decodedImageOfData(const ns::Ref<ns::Data>& data) {
    auto image = data ? ui::Image::imageWithData(data, ui::Screen::mainScreen()->scale()) : nullptr;
    return image ? TV_imageByDecoded(image) : nullptr;
}

}  // namespace

ns::Ref<TVFrameImage> TVFrameImage::withImagePaths(std::vector<std::string> paths, double oneFrameDuration,
                                                   uint64_t loopCount) {
    std::vector<double> durations(paths.size(), oneFrameDuration);
    return withImagePaths(std::move(paths), std::move(durations), loopCount);
}

ns::Ref<TVFrameImage> TVFrameImage::withImagePaths(std::vector<std::string> paths, std::vector<double> frameDurations,
                                                   uint64_t loopCount) {
    auto image = std::make_shared<TVFrameImage>();
    if (!image->init(std::move(paths), {}, std::move(frameDurations), loopCount)) return nullptr;
    return image;
}

ns::Ref<TVFrameImage> TVFrameImage::withImageDataArray(std::vector<ns::Ref<ns::Data>> datas, double oneFrameDuration,
                                                       uint64_t loopCount) {
    std::vector<double> durations(datas.size(), oneFrameDuration);
    return withImageDataArray(std::move(datas), std::move(durations), loopCount);
}

ns::Ref<TVFrameImage> TVFrameImage::withImageDataArray(std::vector<ns::Ref<ns::Data>> datas,
                                                       std::vector<double> frameDurations, uint64_t loopCount) {
    auto image = std::make_shared<TVFrameImage>();
    if (!image->init({}, std::move(datas), std::move(frameDurations), loopCount)) return nullptr;
    return image;
}

bool TVFrameImage::init(std::vector<std::string> paths, std::vector<ns::Ref<ns::Data>> datas,
                        std::vector<double> durations, uint64_t loopCount) {
    size_t count = paths.empty() ? datas.size() : paths.size();
    if (count == 0 || count != durations.size()) return false;
    ns::Ref<ui::Image> first;
    double scale = 1;
    if (!paths.empty()) {
        first = decodedImageAtPath(paths.front());
        scale = TVScaleFromImagePath(paths.front());
    } else {
        first = decodedImageOfData(datas.front());
        scale = ui::Screen::mainScreen()->scale();
    }
    if (!first || !first->cgImage()) return false;
    setCGImage(first->cgImage(), scale, ui::ImageOrientation::Up);
    imagePaths_ = std::move(paths);
    imageDatas_ = std::move(datas);
    frameDurations_ = std::move(durations);
    loopCount_ = loopCount;
    oneFrameBytes_ = uint64_t(first->cgImage()->bytesPerRow()) * uint64_t(first->cgImage()->height());
    return true;
}

uint64_t TVFrameImage::animatedImageFrameCount() const {
    if (!imagePaths_.empty()) return imagePaths_.size();
    if (!imageDatas_.empty()) return imageDatas_.size();
    return 1;
}

ns::Ref<ui::Image> TVFrameImage::animatedImageFrameAtIndex(uint64_t index) {
    if (!imagePaths_.empty()) return index < imagePaths_.size() ? decodedImageAtPath(imagePaths_[index]) : nullptr;
    if (!imageDatas_.empty()) return index < imageDatas_.size() ? decodedImageOfData(imageDatas_[index]) : nullptr;
    return index == 0 ? ns::cast<ui::Image>(self()) : nullptr;
}

double TVFrameImage::animatedImageDurationAtIndex(uint64_t index) const {
    return index < frameDurations_.size() ? frameDurations_[index] : 0;
}
