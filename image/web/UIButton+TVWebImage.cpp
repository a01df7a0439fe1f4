#include "image/web/UIButton+TVWebImage.h"

#include <any>

namespace {

const char ImageSettersKey = 0;
const char BackgroundImageSettersKey = 0;

enum class Purpose { Image, Background };

const void* keyOf(Purpose purpose) { return purpose == Purpose::Image ? &ImageSettersKey : &BackgroundImageSettersKey; }

ns::Ref<_TVWebImageSetterDicForButton> settersOf(ui::Button& button, Purpose purpose, bool make) {
    std::any held = button.associated(keyOf(purpose));
    if (auto* setters = std::any_cast<ns::Ref<_TVWebImageSetterDicForButton>>(&held)) return *setters;
    if (!make) return nullptr;
    auto setters = std::make_shared<_TVWebImageSetterDicForButton>();
    button.setAssociated(keyOf(purpose), setters);
    return setters;
}

_TVWebImageSlot slotOf(ui::Button& button, Purpose purpose, unsigned singleState) {
    std::weak_ptr<ui::Button> weak = button.ref<ui::Button>();
    return {
        // The button weakly, as image views are held: a running operation
        // keeps this slot, and the button keeps its holders.
        .holder =
            [weak, purpose, singleState] {
                auto held = weak.lock();
                // A button already gone: a holder of its own, which the call supersedes at once.
                return held ? settersOf(*held, purpose, true)->lazySetterForState(singleState)
                            : std::make_shared<_TVWebImageSetter>();
            },
        .alive = [weak] { return !weak.expired(); },
        .set =
            [weak, purpose, singleState](const ns::Ref<ui::Image>& image) {
                auto held = weak.lock();
                if (!held) return;
                if (purpose == Purpose::Image) held->setImage(image, singleState);
                else held->setBackgroundImage(image, singleState);
            },
        .fades = [] { return false; },
        .layer = []() -> ns::Ref<ui::Layer> { return nullptr; },
    };
}

// The state whose URL is read: highlighted first, then disabled, selected, normal.
unsigned readState(unsigned state) {
    if (state & ui::ControlStateHighlighted) return ui::ControlStateHighlighted;
    if (state & ui::ControlStateDisabled) return ui::ControlStateDisabled;
    if (state & ui::ControlStateSelected) return ui::ControlStateSelected;
    return ui::ControlStateNormal;
}

ns::Ref<ns::URL> urlFor(ui::Button& button, Purpose purpose, unsigned state) {
    auto setters = settersOf(button, purpose, false);
    auto setter = setters ? setters->setterForState(readState(state)) : nullptr;
    return setter ? setter->imageURL() : nullptr;
}

void setFor(ui::Button& button, Purpose purpose, const TVWebImageURL& url, unsigned state,
            const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options, ns::Ref<TVWebImageManager> manager,
            const TVWebImageProgressBlock& progress, const TVWebImageTransformBlock& transform,
            const TVWebImageCompletionBlock& completion) {
    for (unsigned single : TVWebImageSingleStates(state)) {
        _TVWebImageSetImageWithURL(slotOf(button, purpose, single), url, placeholder, options, manager, progress,
                                   transform, completion);
    }
}

void cancelFor(ui::Button& button, Purpose purpose, unsigned state) {
    auto setters = settersOf(button, purpose, false);
    if (!setters) return;
    for (unsigned single : TVWebImageSingleStates(state)) {
        if (auto setter = setters->setterForState(single)) setter->cancel();
    }
}

}  // namespace

std::vector<unsigned> TVWebImageSingleStates(unsigned state) {
    std::vector<unsigned> singles;
    if (state & ui::ControlStateHighlighted) singles.push_back(ui::ControlStateHighlighted);
    if (state & ui::ControlStateDisabled) singles.push_back(ui::ControlStateDisabled);
    if (state & ui::ControlStateSelected) singles.push_back(ui::ControlStateSelected);
    if ((state & 0xFF) == 0) singles.push_back(ui::ControlStateNormal);
    return singles;
}

// ---- Image ----

ns::Ref<ns::URL> TV_imageURLForState(ui::Button& button, unsigned state) {
    return urlFor(button, Purpose::Image, state);
}

void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder) {
    setFor(button, Purpose::Image, url, state, placeholder, 0, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state, TVWebImageOptions options) {
    setFor(button, Purpose::Image, url, state, nullptr, options, nullptr, {}, {}, {});
}

void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Image, url, state, placeholder, options, nullptr, {}, {}, completion);
}

void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                        TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Image, url, state, placeholder, options, nullptr, progress, transform, completion);
}

void TV_setImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                        const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                        ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                        TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Image, url, state, placeholder, options, std::move(manager), progress, transform,
           completion);
}

void TV_cancelImageRequestForState(ui::Button& button, unsigned state) { cancelFor(button, Purpose::Image, state); }

// ---- Background image ----

ns::Ref<ns::URL> TV_backgroundImageURLForState(ui::Button& button, unsigned state) {
    return urlFor(button, Purpose::Background, state);
}

void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder) {
    setFor(button, Purpose::Background, url, state, placeholder, 0, nullptr, {}, {}, {});
}

void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  TVWebImageOptions options) {
    setFor(button, Purpose::Background, url, state, nullptr, options, nullptr, {}, {}, {});
}

void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Background, url, state, placeholder, options, nullptr, {}, {}, completion);
}

void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  TVWebImageProgressBlock progress, TVWebImageTransformBlock transform,
                                  TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Background, url, state, placeholder, options, nullptr, progress, transform, completion);
}

void TV_setBackgroundImageWithURL(ui::Button& button, const TVWebImageURL& url, unsigned state,
                                  const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                  ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                  TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    setFor(button, Purpose::Background, url, state, placeholder, options, std::move(manager), progress, transform,
           completion);
}

void TV_cancelBackgroundImageRequestForState(ui::Button& button, unsigned state) {
    cancelFor(button, Purpose::Background, state);
}
