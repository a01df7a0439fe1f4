#include "image/web/CALayer+TVWebImage.h"

namespace {

const char ImageSetterKey = 0;

_TVWebImageSlot slotOf(ui::Layer& layer) {
    std::weak_ptr<ui::Layer> weak = layer.ref<ui::Layer>();
    return {
        .holder = [weak] {
            auto held = weak.lock();
            return held ? _TVWebImageSetterFor(*held, &ImageSetterKey, true) : std::make_shared<_TVWebImageSetter>();
        },
        .alive = [weak] { return !weak.expired(); },
        .set =
            [weak](const ns::Ref<ui::Image>& image) {
                if (auto held = weak.lock()) held->setContents(image ? image->cgImage() : nullptr);
            },
        .fades = [] { return true; },
        .layer = [weak] { return weak.lock(); },
    };
}

}  // namespace

ns::Ref<ns::URL> TV_imageURL(ui::Layer& layer) {
    auto setter = _TVWebImageSetterFor(layer, &ImageSetterKey, false);
    return setter ? setter->imageURL() : nullptr;
}

void setTV_imageURL(ui::Layer& layer, const TVWebImageURL& url) {
    TV_setImageWithURL(layer, url, nullptr, 0, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::Layer& layer, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder) {
    TV_setImageWithURL(layer, url, placeholder, 0, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::Layer& layer, const TVWebImageURL& url, TVWebImageOptions options) {
    TV_setImageWithURL(layer, url, nullptr, options, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::Layer& layer, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(layer, url, placeholder, options, nullptr, {}, {}, std::move(completion));
}

void TV_setImageWithURL(ui::Layer& layer, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(layer, url, placeholder, options, nullptr, std::move(progress), std::move(transform),
                       std::move(completion));
}

void TV_setImageWithURL(ui::Layer& layer, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion) {
    _TVWebImageSetImageWithURL(slotOf(layer), url, placeholder, options, std::move(manager), std::move(progress),
                               std::move(transform), std::move(completion));
}

void TV_cancelCurrentImageRequest(ui::Layer& layer) {
    if (auto setter = _TVWebImageSetterFor(layer, &ImageSetterKey, false)) setter->cancel();
}
