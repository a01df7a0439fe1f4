#include "platform/uikit/ImageView.h"

#include "platform/graphics/BitmapContext.h"
#include "platform/uikit/Animation.h"

namespace ui {

RT_DEFINE_CLASS(ImageView, View, "UIImageView")

ns::Ref<cg::Image> tintedImage(const Image& image, const cg::Color& color) {
    if (!image.cgImage()) return nullptr;
    cg::Size size = image.size();
    auto context = cg::BitmapContext::create(size, image.scale(), false);
    if (!context) return image.cgImage();
    cg::Rect all{{0, 0}, size};
    context->drawImage(*image.cgImage(), all);
    context->setBlendMode(cg::BlendMode::SourceIn);
    context->setFillColor(color);
    context->fillRect(all);
    return context->makeImage();
}

ImageView::ImageView() : ImageView(cg::Rect{}) {}

ImageView::ImageView(const cg::Rect& frame) : View(frame) { setUserInteractionEnabled(false); }

ImageView::ImageView(const ns::Ref<Image>& image, const ns::Ref<Image>& highlightedImage) : ImageView(cg::Rect{}) {
    const ns::Ref<Image>& sizing = image ? image : highlightedImage;
    if (sizing) setFrame({{0, 0}, sizing->size()});
    image_ = image;
    highlightedImage_ = highlightedImage;
    updateContents();
}

ns::Ref<ImageView> ImageView::make(const cg::Rect& frame) { return std::make_shared<ImageView>(frame); }

ns::Ref<ImageView> ImageView::withImage(const ns::Ref<Image>& image, const ns::Ref<Image>& highlightedImage) {
    return std::make_shared<ImageView>(image, highlightedImage);
}

void ImageView::setImage(const ns::Ref<Image>& image) {
    if (image == image_) return;
    image_ = image;
    updateContents();
    invalidateIntrinsicContentSize();
}

void ImageView::setHighlightedImage(const ns::Ref<Image>& image) {
    if (image == highlightedImage_) return;
    highlightedImage_ = image;
    updateContents();
}

void ImageView::setHighlighted(bool highlighted) {
    if (highlighted == highlighted_) return;
    highlighted_ = highlighted;
    updateContents();
}

ns::Ref<Image> ImageView::displayedImage() const {
    return highlighted_ && highlightedImage_ ? highlightedImage_ : image_;
}

void ImageView::updateContents() {
    auto shown = displayedImage();
    if (!shown) {
        layer()->setContents(nullptr);
        return;
    }
    if (shown->renderingMode() == ImageRenderingMode::AlwaysTemplate) {
        layer()->setContents(tintedImage(*shown, tintColor()));
    } else {
        layer()->setContents(shown->cgImage());
    }
}

void ImageView::tintColorDidChange() { updateContents(); }

void ImageView::didMoveToWindow() {
    View::didMoveToWindow();
    // The inherited tint may differ in the new place.
    if (displayedImage() && displayedImage()->renderingMode() == ImageRenderingMode::AlwaysTemplate) updateContents();
}

// ---- Animation ----

void ImageView::setAnimationImages(std::vector<ns::Ref<Image>> images) {
    stopAnimating();
    animationImages_ = std::move(images);
}

void ImageView::startAnimating() {
    if (animationImages_.empty()) return;
    auto animation = KeyframeAnimation::animationWithKeyPath("contents");
    std::vector<ns::Id> frames;
    for (const auto& image : animationImages_) frames.push_back(image ? image->cgImage() : nullptr);
    animation->setValues(std::move(frames));
    animation->setCalculationMode("discrete");
    double duration = animationDuration_ > 0 ? animationDuration_ : double(animationImages_.size()) / 30;
    animation->setDuration(duration);
    animation->setRepeatCount(animationRepeatCount_ > 0 ? double(animationRepeatCount_) : RepeatForever);
    layer()->addAnimation(animation, AnimationKey);
}

void ImageView::stopAnimating() { layer()->removeAnimationForKey(AnimationKey); }

bool ImageView::isAnimating() const { return layer()->animationForKey(AnimationKey) != nullptr; }

// ---- Sizes ----

cg::Size ImageView::sizeThatFits(cg::Size) const {
    auto shown = image_ ? image_ : highlightedImage_;
    return shown ? shown->size() : cg::Size{};
}

cg::Size ImageView::intrinsicContentSize() const {
    auto shown = image_ ? image_ : highlightedImage_;
    return shown ? shown->size() : cg::Size{ViewNoIntrinsicMetric, ViewNoIntrinsicMetric};
}

}  // namespace ui
