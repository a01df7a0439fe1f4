#pragma once
// The holder behind one view slot (an image view's image, a button state's
// background, a layer's contents...): the URL last asked for, the operation
// running for it, and a 32-bit sentinel that every cancel and every
// installed operation advances. A delivery reaches the view only while the
// sentinel still has the value its operation was installed with, so of
// several quick calls for a slot only the last one's images are shown.
//
// The sentinel is an unsigned 32-bit counter that wraps: only equality is
// ever compared.
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "image/web/TVWebImageManager.h"
#include "image/web/TVWebImageOperation.h"
#include "platform/dispatch/Queue.h"
#include "platform/dispatch/Semaphore.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/Layer.h"

// A URL as the view extensions take it: a URL, or a string made into one.
class TVWebImageURL {
public:
    TVWebImageURL() = default;
    TVWebImageURL(std::nullptr_t) {}
    TVWebImageURL(ns::Ref<ns::URL> url) : url_(std::move(url)) {}
    TVWebImageURL(std::string_view text) : url_(ns::URL::make(text)) {}
    TVWebImageURL(const std::string& text) : url_(ns::URL::make(text)) {}
    TVWebImageURL(const char* text) : url_(text ? ns::URL::make(text) : nullptr) {}
    const ns::Ref<ns::URL>& url() const { return url_; }

private:
    ns::Ref<ns::URL> url_;
};

class _TVWebImageSetter : public ns::Object {
    RT_DECLARE_CLASS(_TVWebImageSetter)
public:
    _TVWebImageSetter() = default;
    // Starting elsewhere than 0: for tests of the wrap.
    explicit _TVWebImageSetter(uint32_t sentinel) : sentinel_(sentinel) {}
    // Advances the sentinel and cancels the running operation.
    ~_TVWebImageSetter() override;

    ns::Ref<ns::URL> imageURL() const;
    int32_t sentinel() const { return static_cast<int32_t>(sentinel_.load()); }

    // Cancels and drops the operation, keeps the URL, advances the
    // sentinel; the new sentinel.
    int32_t cancelWithNewURL(const ns::Ref<ns::URL>& url);
    void cancel() { cancelWithNewURL(nullptr); }
    // For a call that is still the newest (its sentinel is the holder's):
    // makes the operation through the manager and installs it; the sentinel
    // the call's deliveries must find. For a superseded call: reports
    // Cancelled and installs nothing.
    int32_t setOperationWithSentinel(int32_t sentinel, const ns::Ref<ns::URL>& url, TVWebImageOptions options,
                                     const ns::Ref<TVWebImageManager>& manager, TVWebImageProgressBlock progress,
                                     TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);

    // "com.norvane.webimage.setter": where operations are made, never the main thread.
    static const dispatch::QueueRef& setterQueue();

private:
    std::shared_ptr<dispatch::Semaphore> lock_ = dispatch::Semaphore::create(1);
    ns::Ref<ns::URL> imageURL_;
    ns::Ref<TVWebImageOperation> operation_;
    std::atomic<uint32_t> sentinel_{0};
};

// A button's holders for one purpose (images or background images), one per
// single control state.
class _TVWebImageSetterDicForButton : public ns::Object {
    RT_DECLARE_CLASS(_TVWebImageSetterDicForButton)
public:
    ns::Ref<_TVWebImageSetter> setterForState(unsigned state) const;
    ns::Ref<_TVWebImageSetter> lazySetterForState(unsigned state);

private:
    std::shared_ptr<dispatch::Semaphore> lock_ = dispatch::Semaphore::create(1);
    std::map<unsigned, ns::Ref<_TVWebImageSetter>> setters_;
};

// What the shared road needs to know of one slot. Every function but
// `holder` runs on the main thread, and each holds its view weakly.
struct _TVWebImageSlot {
    // The slot's holder, made and attached when missing (any thread).
    std::function<ns::Ref<_TVWebImageSetter>()> holder;
    // False once the view is gone.
    std::function<bool()> alive;
    // Shows `image` (nil clears) in the slot.
    std::function<void(const ns::Ref<ui::Image>& image)> set;
    // Whether the slot fades under the view's present highlight state.
    std::function<bool()> fades;
    // The layer the fade is added to.
    std::function<ns::Ref<ui::Layer>()> layer;
};

// The full form every view extension forwards to.
void _TVWebImageSetImageWithURL(const _TVWebImageSlot& slot, const TVWebImageURL& url,
                                const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion);

// The holder attached to `object` under `key`, made when missing.
ns::Ref<_TVWebImageSetter> _TVWebImageSetterFor(ns::Object& object, const void* key, bool make);
// The key of the fade transition on a layer.
inline constexpr const char* TVWebImageFadeAnimationKey = "TVWebImageFade";
