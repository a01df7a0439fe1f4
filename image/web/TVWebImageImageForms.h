#pragma once
// The forms of the one-image slots: an image view's image, a layer's
// contents and an annotation view's image (subclasses included). Each form
// forwards to the full one, passing nil, 0 or the shared manager for what it
// does not take. Any thread may call; the view is touched on the main
// thread and completions run there.
#include <concepts>
#include <memory>

#include "image/web/_TVWebImageSetter.h"
#include "platform/uikit/AnnotationView.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Layer.h"

// Each slot kind's own part (UIImageView+, CALayer+, MKAnnotationView+TVWebImage.cpp).
_TVWebImageSlot _TVWebImageImageSlot(ui::ImageView& view);
_TVWebImageSlot _TVWebImageImageSlot(ui::Layer& layer);
_TVWebImageSlot _TVWebImageImageSlot(ui::AnnotationView& view);
// The image slot's holder of any of them, made when `make` says so.
ns::Ref<_TVWebImageSetter> _TVWebImageImageSetter(ns::Object& object, bool make);
// A slot whose holder is the image slot's holder of `object`, and which
// lives as long as `object`; the caller fills in the rest.
_TVWebImageSlot _TVWebImageImageSlotOf(const std::weak_ptr<ns::Object>& object);

template <class View>
concept TVWebImageImageSlotView = std::derived_from<View, ns::Object> && requires(View& view) {
    { _TVWebImageImageSlot(view) } -> std::same_as<_TVWebImageSlot>;
};

template <TVWebImageImageSlotView View>
void TV_setImageWithURL(View& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion) {
    _TVWebImageSetImageWithURL(_TVWebImageImageSlot(view), url, placeholder, options, std::move(manager),
                               std::move(progress), std::move(transform), std::move(completion));
}

template <TVWebImageImageSlotView View>
void TV_setImageWithURL(View& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(view, url, placeholder, options, nullptr, std::move(progress), std::move(transform),
                       std::move(completion));
}

template <TVWebImageImageSlotView View>
void TV_setImageWithURL(View& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder,
                        TVWebImageOptions options, TVWebImageCompletionBlock completion) {
    TV_setImageWithURL(view, url, placeholder, options, nullptr, {}, {}, std::move(completion));
}

template <TVWebImageImageSlotView View>
void TV_setImageWithURL(View& view, const TVWebImageURL& url, TVWebImageOptions options) {
    TV_setImageWithURL(view, url, nullptr, options, nullptr, {}, {}, {});
}

template <TVWebImageImageSlotView View>
void TV_setImageWithURL(View& view, const TVWebImageURL& url, const ns::Ref<ui::Image>& placeholder) {
    TV_setImageWithURL(view, url, placeholder, 0, nullptr, {}, {}, {});
}

template <TVWebImageImageSlotView View>
void setTV_imageURL(View& view, const TVWebImageURL& url) {
    TV_setImageWithURL(view, url, nullptr, 0, nullptr, {}, {}, {});
}

template <TVWebImageImageSlotView View>
ns::Ref<ns::URL> TV_imageURL(View& view) {
    auto setter = _TVWebImageImageSetter(view, false);
    return setter ? setter->imageURL() : nullptr;
}

template <TVWebImageImageSlotView View>
void TV_cancelCurrentImageRequest(View& view) {
    if (auto setter = _TVWebImageImageSetter(view, false)) setter->cancel();
}
