#include "image/web/MKAnnotationView+TVWebImage.h"

namespace {

const char ImageSetterKey = 0;

_TVWebImageSlot slotOf(ui::AnnotationView& view) {
    std::weak_ptr<ui::AnnotationView> weak = view.ref<ui::AnnotationView>();
    return {
        .holder = [weak] {
            auto held = weak.lock();
            return held ? _TVWebImageSetterFor(*held, &ImageSetterKey, true) : std::make_shared<_TVWebImageSetter>();
        },
        .alive = [weak] { return !weak.expired(); },
        .set =
            [weak](const ns::Ref<ui::Image>& image) {
                if (auto held = weak.lock()) held->setImage(image);
            },
        .fades =
            [weak] {
                auto held = weak.lock();
                return held && !held->isHighlighted();
            },
        .layer =
            [weak]() -> ns::Ref<ui::Layer> {
                auto held = weak.lock();
                return held ? held->layer() : nullptr;
            },
    };
}

}  // namespace

ns::Ref<ns::URL> TV_imageURL(ui::AnnotationView& view) {
    auto setter = _TVWebImageSetterFor(view, &ImageSetterKey, false);
    return setter ? setter->imageURL() : nullptr;
}

void setTV_imageURL(ui::AnnotationView& view, const TVWebImageURL& url) {
    TV_setImageWithURL(view, url, nullptr, 0, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder) {
    TV_setImageWithURL(view, url, placeholder, 0, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, TVWebImageOptions options) {
    TV_setImageWithURL(view, url, nullptr, options, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(view, url, placeholder, options, nullptr, {}, {}, std::move(completion));
}

void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(view, url, placeholder, options, nullptr, std::move(progress), std::move(transform),
                       std::move(completion));
}

void TV_setImageWithURL(ui::AnnotationView& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion) {
    _TVWebImageSetImageWithURL(slotOf(view), url, placeholder, options, std::move(manager), std::move(progress),
                               std::move(transform), std::move(completion));
}

void TV_cancelCurrentImageRequest(ui::AnnotationView& view) {
    if (auto setter = _TVWebImageSetterFor(view, &ImageSetterKey, false)) setter->cancel();
}
