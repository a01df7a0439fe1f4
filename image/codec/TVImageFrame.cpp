#include "image/codec/TVImageFrame.h"

RT_DEFINE_CLASS(TVImageFrame, ns::Object, "TVImageFrame")
RT_DEFINE_CLASS(TVImageDecoderFrame, TVImageFrame, "_TVImageDecoderFrame")

ns::Ref<TVImageFrame> TVImageFrame::frameWithImage(ns::Ref<ui::Image> image) {
    auto frame = std::make_shared<TVImageFrame>();
    frame->image = std::move(image);
    return frame;
}

ns::Id TVImageFrame::copy() const {
    auto other = makeEmpty();
    copyInto(*other);
    return other;
}

void TVImageFrame::copyInto(TVImageFrame& other) const {
    other.index = index;
    other.width = width;
    other.height = height;
    other.offsetX = offsetX;
    other.offsetY = offsetY;
    other.duration = duration;
    other.dispose = dispose;
    other.blend = blend;
    // Images are immutable: their copy is themselves.
    other.image = image ? ns::cast<ui::Image>(image->copy()) : nullptr;
}

void TVImageDecoderFrame::copyInto(TVImageFrame& other) const {
    TVImageFrame::copyInto(other);
    if (auto* mine = dynamic_cast<TVImageDecoderFrame*>(&other)) {
        mine->hasAlpha = hasAlpha;
        mine->isFullSize = isFullSize;
        mine->blendFromIndex = blendFromIndex;
    }
}
