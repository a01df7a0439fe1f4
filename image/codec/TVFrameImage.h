#pragma once
// An animation of separate pictures, one file or one piece of data a frame.
// It shows its first frame; every other frame is loaded and decoded again
// at each request, so only the file names or data stay in memory.

#include <string>
#include <vector>

#include "image/codec/TVAnimatedImage.h"
#include "platform/foundation/Data.h"

class TVFrameImage : public ui::Image, public TVAnimatedImage {
    RT_DECLARE_CLASS(TVFrameImage)
public:
    TVFrameImage() = default;

    // Nil unless the list is not empty, has one duration an entry and its
    // first entry loads. Paths carry their scale ("@2x"); data is at the
    // main screen's scale.
    static ns::Ref<TVFrameImage> withImagePaths(std::vector<std::string> paths, double oneFrameDuration,
                                                uint64_t loopCount);
    static ns::Ref<TVFrameImage> withImagePaths(std::vector<std::string> paths, std::vector<double> frameDurations,
                                                uint64_t loopCount);
    static ns::Ref<TVFrameImage> withImageDataArray(std::vector<ns::Ref<ns::Data>> datas, double oneFrameDuration,
                                                    uint64_t loopCount);
    static ns::Ref<TVFrameImage> withImageDataArray(std::vector<ns::Ref<ns::Data>> datas,
                                                    std::vector<double> frameDurations, uint64_t loopCount);

    uint64_t animatedImageFrameCount() const override;
    uint64_t animatedImageLoopCount() const override { return loopCount_; }
    uint64_t animatedImageBytesPerFrame() const override { return oneFrameBytes_; }
    ns::Ref<ui::Image> animatedImageFrameAtIndex(uint64_t index) override;
    double animatedImageDurationAtIndex(uint64_t index) const override;

private:
    bool init(std::vector<std::string> paths, std::vector<ns::Ref<ns::Data>> datas, std::vector<double> durations,
              uint64_t loopCount);

    std::vector<std::string> imagePaths_;
    std::vector<ns::Ref<ns::Data>> imageDatas_;
    std::vector<double> frameDurations_;
    uint64_t loopCount_ = 0;
    uint64_t oneFrameBytes_ = 0;
};
