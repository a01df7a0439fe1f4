#include "image/web/_TVWebImageSetter.h"

#include <any>

#include "platform/dispatch/MainThread.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Animation.h"

RT_DEFINE_CLASS(_TVWebImageSetter, ns::Object, "_TVWebImageSetter")
RT_DEFINE_CLASS(_TVWebImageSetterDicForButton, ns::Object, "_TVWebImageSetterDicForButton")

namespace {

constexpr double FadeDuration = 0.2;
constexpr double PartialFadeDuration = 0.4;
// No 32-bit sentinel has this value: the operation is still being installed.
constexpr int64_t PendingSentinel = INT64_MIN;

// Holds the semaphore for one scope.
class Hold {
public:
    explicit Hold(dispatch::Semaphore& semaphore) : semaphore_(semaphore) { semaphore_.wait(); }
    ~Hold() { semaphore_.signal(); }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

private:
    dispatch::Semaphore& semaphore_;
};

void addFade(const ns::Ref<ui::Layer>& layer, TVWebImageStage stage) {
    if (!layer) return;
    auto fade = std::make_shared<ui::Transition>();
    fade->setType(ui::TransitionFade);
    fade->setDuration(stage == TVWebImageStageProgress ? PartialFadeDuration : FadeDuration);
    fade->setTimingFunction(ui::MediaTimingFunction::functionWithName(ui::MediaTimingFunctionEaseInEaseOut));
    layer->addAnimation(fade, TVWebImageFadeAnimationKey);
}

void onMainThreadNow(const std::function<void()>& work) {
    if (dispatch::isMainThread()) work();
    else dispatch::sync(dispatch::mainQueue(), work);
}

}  // namespace

// ---- _TVWebImageSetter ----

_TVWebImageSetter::~_TVWebImageSetter() {
    sentinel_.fetch_add(1);
    if (operation_) operation_->cancel();
}

ns::Ref<ns::URL> _TVWebImageSetter::imageURL() const {
    Hold hold(*lock_);
    return imageURL_;
}

int32_t _TVWebImageSetter::cancelWithNewURL(const ns::Ref<ns::URL>& url) {
    Hold hold(*lock_);
    if (operation_) {
        operation_->cancel();
        operation_ = nullptr;
    }
    imageURL_ = url;
    return static_cast<int32_t>(sentinel_.fetch_add(1) + 1);
}

int32_t _TVWebImageSetter::setOperationWithSentinel(int32_t sentinel, const ns::Ref<ns::URL>& url,
                                                    TVWebImageOptions options,
                                                    const ns::Ref<TVWebImageManager>& manager,
                                                    TVWebImageProgressBlock progress,
                                                    TVWebImageTransformBlock transform,
                                                    TVWebImageCompletionBlock completion) {
    if (sentinel != this->sentinel()) {
        if (completion) completion(nullptr, url, TVWebImageFromNone, TVWebImageStageCancelled, nullptr);
        return this->sentinel();
    }
    auto operation = manager->requestImageWithURL(url, options, std::move(progress), std::move(transform), completion);
    if (!operation && completion) {
        auto error = ns::Error::make(
            "com.norvane.webimage", -1,
            ns::Dictionary::make({{ns::str(ns::LocalizedDescriptionKey), ns::str("TVWebImageOperation create failed.")}}));
        completion(nullptr, url, TVWebImageFromNone, TVWebImageStageFinished, error);
    }
    Hold hold(*lock_);
    if (sentinel == this->sentinel()) {
        if (operation_) operation_->cancel();
        operation_ = operation;
        return static_cast<int32_t>(sentinel_.fetch_add(1) + 1);
    }
    // A cancel or a newer call came in meanwhile.
    if (operation) operation->cancel();
    return sentinel;
}

const dispatch::QueueRef& _TVWebImageSetter::setterQueue() {
    static const auto* queue = new dispatch::QueueRef(dispatch::Queue::serial("com.norvane.webimage.setter"));
    return *queue;
}

// ---- _TVWebImageSetterDicForButton ----

ns::Ref<_TVWebImageSetter> _TVWebImageSetterDicForButton::setterForState(unsigned state) const {
    Hold hold(*lock_);
    auto found = setters_.find(state);
    return found == setters_.end() ? nullptr : found->second;
}

ns::Ref<_TVWebImageSetter> _TVWebImageSetterDicForButton::lazySetterForState(unsigned state) {
    Hold hold(*lock_);
    auto& setter = setters_[state];
    if (!setter) setter = std::make_shared<_TVWebImageSetter>();
    return setter;
}

// ---- The shared road ----

ns::Ref<_TVWebImageSetter> _TVWebImageSetterFor(ns::Object& object, const void* key, bool make) {
    std::any held = object.associated(key);
    if (auto* setter = std::any_cast<ns::Ref<_TVWebImageSetter>>(&held)) return *setter;
    if (!make) return nullptr;
    auto setter = std::make_shared<_TVWebImageSetter>();
    object.setAssociated(key, setter);
    return setter;
}

void _TVWebImageSetImageWithURL(const _TVWebImageSlot& slot, const TVWebImageURL& urlArgument,
                                const ns::Ref<ui::Image>& placeholder, TVWebImageOptions options,
                                ns::Ref<TVWebImageManager> manager, TVWebImageProgressBlock progress,
                                TVWebImageTransformBlock transform, TVWebImageCompletionBlock completion) {
    ns::Ref<ns::URL> url = urlArgument.url();
    if (!manager) manager = TVWebImageManager::sharedManager();
    ns::Ref<_TVWebImageSetter> holder = slot.holder();
    const int32_t sentinel = holder->cancelWithNewURL(url);
    const bool fade = (options & TVWebImageOptionFade) && !(options & TVWebImageOptionManualSet);

    onMainThreadNow([&] {
        if (!slot.alive()) return;
        if (fade && slot.fades()) {
            if (auto layer = slot.layer()) layer->removeAnimationForKey(TVWebImageFadeAnimationKey);
        }
        if (!url) {
            if (!(options & TVWebImageOptionNoPlaceholder)) slot.set(placeholder);
            return;
        }
        if (manager->cache() && !(options & (TVWebImageOptionURLCache | TVWebImageOptionRefreshCache))) {
            auto cached = manager->cache()->getImageForKey(manager->cacheKeyForURL(url), TVImageCacheTypeMemory);
            if (cached) {
                if (!(options & TVWebImageOptionManualSet)) slot.set(cached);
                if (completion)
                    completion(cached, url, TVWebImageFromMemoryCacheInSetter, TVWebImageStageFinished, nullptr);
                return;
            }
        }
        if (!(options & TVWebImageOptionNoPlaceholder)) slot.set(placeholder);

        // The operation is made off the main thread. The holder is held
        // weakly: a view gone with its holder cancels the operation.
        std::weak_ptr<_TVWebImageSetter> weakHolder = holder;
        dispatch::async(_TVWebImageSetter::setterQueue(), [=] {
            TVWebImageProgressBlock progressOnMain;
            if (progress) {
                progressOnMain = [progress](int64_t received, int64_t expected) {
                    dispatch::async(dispatch::mainQueue(), [progress, received, expected] { progress(received, expected); });
                };
            }
            // The sentinel the call's deliveries must find, known once the
            // operation is installed. A delivery made while it is still being
            // installed (a memory hit on the network thread can be that quick)
            // waits behind the installation on the serial setter queue.
            auto installed = std::make_shared<std::atomic<int64_t>>(PendingSentinel);
            TVWebImageCompletionBlock wrapper = [=](const ns::Ref<ui::Image>& image, const ns::Ref<ns::URL>& from,
                                                    TVWebImageFromType source, TVWebImageStage stage,
                                                    const ns::Ref<ns::Error>& error) {
                const bool setImage = image &&
                                      (stage == TVWebImageStageFinished || stage == TVWebImageStageProgress) &&
                                      !(options & TVWebImageOptionManualSet);
                auto apply = [=] {
                    auto currentHolder = weakHolder.lock();
                    const bool superseded = currentHolder && currentHolder->sentinel() != installed->load();
                    if (setImage && slot.alive() && !superseded) {
                        if (fade && slot.fades()) addFade(slot.layer(), stage);
                        slot.set(image);
                    }
                    if (!completion) return;
                    if (superseded) completion(nullptr, from, TVWebImageFromNone, TVWebImageStageCancelled, nullptr);
                    else completion(image, from, source, stage, error);
                };
                if (installed->load() != PendingSentinel) {
                    dispatch::async(dispatch::mainQueue(), apply);
                } else {
                    dispatch::async(_TVWebImageSetter::setterQueue(),
                                    [apply] { dispatch::async(dispatch::mainQueue(), apply); });
                }
            };
            auto held = weakHolder.lock();
            if (!held) {
                wrapper(nullptr, url, TVWebImageFromNone, TVWebImageStageCancelled, nullptr);
                return;
            }
            installed->store(
                held->setOperationWithSentinel(sentinel, url, options, manager, progressOnMain, transform, wrapper));
        });
    });
}
