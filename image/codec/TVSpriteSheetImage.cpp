#include "image/codec/TVSpriteSheetImage.h"

RT_DEFINE_CLASS(TVSpriteSheetImage, ui::Image, "TVSpriteSheetImage")

cg::Rect TVUnitContentsRect(const cg::Rect& rect, cg::Size size) {
    const cg::Rect whole{0, 0, 1, 1};
    if (size.width <= 0.01 || size.height <= 0.01) return whole;
    cg::Rect unit{rect.origin.x / size.width, rect.origin.y / size.height, rect.size.width / size.width,
                  rect.size.height / size.height};
    cg::Rect cut = unit.intersection(whole);
    if (cut.isNull() || cut.isEmpty()) return whole;
    return cut;
}

ns::Ref<TVSpriteSheetImage> TVSpriteSheetImage::withSpriteSheetImage(const ns::Ref<ui::Image>& image,
                                                                     std::vector<cg::Rect> contentRects,
                                                                     std::vector<double> frameDurations,
                                                                     uint64_t loopCount) {
    if (!image || !image->cgImage()) return nullptr;
    if (contentRects.empty() || frameDurations.empty() || contentRects.size() != frameDurations.size()) return nullptr;
    auto sheet = std::make_shared<TVSpriteSheetImage>();
    sheet->setCGImage(image->cgImage(), image->scale(), image->imageOrientation());
    sheet->contentRects_ = std::move(contentRects);
    sheet->frameDurations_ = std::move(frameDurations);
    sheet->loopCount_ = loopCount;
    return sheet;
}

cg::Rect TVSpriteSheetImage::contentsRectForCALayerAtIndex(uint64_t index) const {
    if (index >= contentRects_.size()) return {0, 0, 1, 1};
    return TVUnitContentsRect(contentRects_[index], size());
}

ns::Ref<ui::Image> TVSpriteSheetImage::animatedImageFrameAtIndex(uint64_t /*index*/) {
    return ns::cast<ui::Image>(self());
}

double TVSpriteSheetImage::animatedImageDurationAtIndex(uint64_t index) const {
    return index < frameDurations_.size() ? frameDurations_[index] : 0;
}

cg::Rect TVSpriteSheetImage::animatedImageContentsRectAtIndex(uint64_t index) const {
    return index < contentRects_.size() ? contentRects_[index] : cg::Rect{};
}
