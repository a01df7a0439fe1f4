#pragma once
// An animation cut from one picture: each frame is a rectangle (points) of
// the sheet, shown through the layer's contents rectangle, so every frame
// is the sheet itself.

#include <vector>

#include "image/codec/TVAnimatedImage.h"

class TVSpriteSheetImage : public ui::Image, public TVAnimatedImage {
    RT_DECLARE_CLASS(TVSpriteSheetImage)
public:
    TVSpriteSheetImage() = default;

    // Nil unless the sheet has pixels and there are as many rectangles as
    // durations, at least one.
    static ns::Ref<TVSpriteSheetImage> withSpriteSheetImage(const ns::Ref<ui::Image>& image,
                                                            std::vector<cg::Rect> contentRects,
                                                            std::vector<double> frameDurations, uint64_t loopCount);

    const std::vector<cg::Rect>& contentRects() const { return contentRects_; }
    const std::vector<double>& frameDurations() const { return frameDurations_; }
    uint64_t loopCount() const { return loopCount_; }
    // The frame's rectangle in the unit space of a layer's contents
    // rectangle; the whole (0, 0, 1, 1) when there is no such frame.
    cg::Rect contentsRectForCALayerAtIndex(uint64_t index) const;

    uint64_t animatedImageFrameCount() const override { return contentRects_.size(); }
    uint64_t animatedImageLoopCount() const override { return loopCount_; }
    uint64_t animatedImageBytesPerFrame() const override { return 0; }
    ns::Ref<ui::Image> animatedImageFrameAtIndex(uint64_t index) override;
    double animatedImageDurationAtIndex(uint64_t index) const override;
    bool respondsToAnimatedImageContentsRect() const override { return true; }
    cg::Rect animatedImageContentsRectAtIndex(uint64_t index) const override;

private:
    std::vector<cg::Rect> contentRects_;
    std::vector<double> frameDurations_;
    uint64_t loopCount_ = 0;
};

// `rect` (points of an image of `size`) in unit coordinates, cut to the
// unit square; the whole square when the size is 0.01 points or less on a
// side or nothing is left.
cg::Rect TVUnitContentsRect(const cg::Rect& rect, cg::Size size);
