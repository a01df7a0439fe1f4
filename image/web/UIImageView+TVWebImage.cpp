#include "image/web/UIImageView+TVWebImage.h"

namespace {

const char HighlightedImageSetterKey = 0;

// `highlighted`: the highlighted-image slot, which fades while the view is
// highlighted; the image slot fades while it is not.
_TVWebImageSlot slotOf(ui::ImageView& view, bool highlighted) {
    std::weak_ptr<ui::ImageView> weak = view.ref<ui::ImageView>();
    _TVWebImageSlot slot = _TVWebImageImageSlotOf(weak);
    if (highlighted) {
        slot.holder = [weak] {
            auto held = weak.lock();
            return held ? _TVWebImageSetterFor(*held, &HighlightedImageSetterKey, true)
                        : std::make_shared<_TVWebImageSetter>();
        };
    }
    slot.set = [weak, highlighted](const ns::Ref<ui::Image>& image) {
        auto held = weak.lock();
        if (!held) return;
        if (highlighted) held->setHighlightedImage(image);
        else held->setImage(image);
    };
    slot.fades = [weak, highlighted] {
        auto held = weak.lock();
        return held && held->isHighlighted() == highlighted;
    };
    slot.layer = [weak]() -> ns::Ref<ui::Layer> {
        auto held = weak.lock();
        return held ? held->layer() : nullptr;
    };
    return slot;
}

}  // namespace

_TVWebImageSlot _TVWebImageImageSlot(ui::ImageView& view) { return slotOf(view, false); }

// ---- Highlighted image ----

ns::Ref<ns::URL> TV_highlightedImageURL(ui::ImageView& view) {
    auto setter = _TVWebImageSetterFor(view, &HighlightedImageSetterKey, false);
    return setter ? setter->imageURL() : nullptr;
}

void setTV_highlightedImageURL(ui::ImageView& view, const TVWebImageURL& url) {
    TV_setHighlightedImageWithURL(view, url, nullptr, 0, nullptr, {}, {}, {});
}

void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder) {
    TV_setHighlightedImageWithURL(view, url, placeholder, 0, nullptr, {}, {}, {});
}

void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url, TVWebImageOptions options) {
    TV_setHighlightedImageWithURL(view, url, nullptr, options, nullptr, {}, {}, {});
}

void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   TVWebImageCompletionBlock completion) {
    TV_setHighlightedImageWithURL(view, url, placeholder, options, nullptr, {}, {}, std::move(completion));
}

void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                                   TVWebImageCompletionBlock completion) {
    TV_setHighlightedImageWithURL(view, url, placeholder, options, nullptr, std::move(progress),
                                  std::move(transform), std::move(completion));
}

void TV_setHighlightedImageWithURL(ui::ImageView& view, const TVWebImageURL& url,
                                   const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                   ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                   TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    _TVWebImageSetImageWithURL(slotOf(view, true), url, placeholder, options, std::move(manager),
                               std::move(progress), std::move(transform), std::move(completion));
}

void TV_cancelCurrentHighlightedImageRequest(ui::ImageView& view) {
    if (auto setter = _TVWebImageSetterFor(view, &HighlightedImageSetterKey, false)) setter->cancel();
}
