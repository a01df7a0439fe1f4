#pragma once
// A decoded frame of an image and how it meets the canvas: its rectangle
// (offsets from the canvas's bottom-left corner), duration, dispose and
// blend operations, and its picture.

#include <cstdint>

#include "platform/runtime/Class.h"
#include "platform/uikit/Image.h"

enum TVImageDisposeMethod : uint64_t {
    TVImageDisposeNone = 0,        // the canvas stays as drawn
    TVImageDisposeBackground = 1,  // the frame's rectangle is cleared
    TVImageDisposePrevious = 2,    // the canvas returns to what it was before the frame
};

enum TVImageBlendOperation : uint64_t {
    TVImageBlendNone = 0,  // the rectangle is cleared, then the frame drawn
    TVImageBlendOver = 1,  // the frame is drawn over the canvas
};

class TVImageFrame : public ns::Object {
    RT_DECLARE_CLASS(TVImageFrame)
public:
    static ns::Ref<TVImageFrame> frameWithImage(ns::Ref<ui::Image> image);

    uint64_t index = 0;
    uint64_t width = 0;
    uint64_t height = 0;
    uint64_t offsetX = 0;
    uint64_t offsetY = 0;
    double duration = 0;
    TVImageDisposeMethod dispose = TVImageDisposeNone;
    TVImageBlendOperation blend = TVImageBlendNone;
    ns::Ref<ui::Image> image;

    // A new record of the receiver's class, every field copied.
    ns::Id copy() const override;

protected:
    virtual ns::Ref<TVImageFrame> makeEmpty() const { return std::make_shared<TVImageFrame>(); }
    virtual void copyInto(TVImageFrame& other) const;
};

// The decoder's own record: what it needs to compose the frame.
class TVImageDecoderFrame : public TVImageFrame {
    RT_DECLARE_CLASS(TVImageDecoderFrame)
public:
    bool hasAlpha = false;
    // Covers the whole canvas from the origin.
    bool isFullSize = false;
    // The earliest frame from which the canvas must be replayed to show
    // this one; its own index when it stands alone.
    uint64_t blendFromIndex = 0;

protected:
    ns::Ref<TVImageFrame> makeEmpty() const override { return std::make_shared<TVImageDecoderFrame>(); }
    void copyInto(TVImageFrame& other) const override;
};
