#pragma once
// The protocol of images played frame by frame (TVImage, TVFrameImage,
// TVSpriteSheetImage), and the scale rules of image files: the scales a
// name is looked up at, and the scale a path names ("photo@3x.png").

#include <cstdint>
#include <string>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/uikit/Image.h"

class TVAnimatedImage {
public:
    virtual ~TVAnimatedImage() = default;

    virtual uint64_t animatedImageFrameCount() const = 0;
    // Plays before stopping; 0 plays forever.
    virtual uint64_t animatedImageLoopCount() const = 0;
    // Memory of one decoded frame; 0 when the class does not work it out.
    virtual uint64_t animatedImageBytesPerFrame() const = 0;
    // Nil for a frame that cannot be made. Any thread may ask.
    virtual ns::Ref<ui::Image> animatedImageFrameAtIndex(uint64_t index) = 0;
    // Seconds.
    virtual double animatedImageDurationAtIndex(uint64_t index) const = 0;
    // The optional part: frames that are rectangles (points) of the one
    // picture, shown through the layer's contents rectangle.
    virtual bool respondsToAnimatedImageContentsRect() const { return false; }
    virtual cg::Rect animatedImageContentsRectAtIndex(uint64_t /*index*/) const { return {}; }
};

// The protocol of an image, when its class adopts it; null otherwise.
TVAnimatedImage* TVAnimatedImageOf(const ui::Image* image);

// [1, 2, 3] on screens of scale 1 or less, [2, 3, 1] up to 2, else [3, 2, 1].
std::vector<double> TVPreferredImageScales();
// The scale a file path names by "@<number>x" before its extension; 1 when
// it names none, or when the name is nothing but that suffix.
double TVScaleFromImagePath(const std::string& path);
