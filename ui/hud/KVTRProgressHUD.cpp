// The status HUD's settings, class interface and show/dismiss machinery.

#include "ui/hud/KVTRProgressHUD.h"

#include <algorithm>
#include <limits>
#include <mutex>

#include "platform/dispatch/Queue.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/OperationQueue.h"
#include "platform/uikit/Accessibility.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/PlatformMetrics.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/StateReset.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/Transaction.h"
#include "platform/uikit/ViewControllerHost.h"
#include "platform/uikit/Window.h"
#include "ui/hud/KVTRProgressAnimatedView.h"

RT_DEFINE_CLASS(KVTRProgressHUD, ui::View, "KVTRProgressHUD")

namespace {

// The animation constants, as the single-precision values they are.
constexpr double DefaultFadeDuration = double(0.15f);
constexpr double AppearingScale = double(1.f / 1.5f);
constexpr double DisappearingScale = double(1.f / 1.3f);

struct Shared {
    std::mutex lock;
    ns::Ref<KVTRProgressHUD> view;
    bool resetHookInstalled = false;
};

Shared& shared() {
    static Shared* s = new Shared;
    return *s;
}

cg::Rect delegateWindowBounds() {
    const auto& delegate = ui::Application::sharedApplication()->delegate();
    auto window = delegate ? delegate->window() : nullptr;
    return window ? window->bounds() : cg::Rect{};
}

bool hasNotificationFeedback() { return ui::Screen::mainScreen()->model().systemMajorVersion() >= 10; }

bool isEmpty(const ns::Ref<ns::String>& text) { return !text || text->length() == 0; }

std::shared_ptr<dispatch::RunLoopTimer> mainLoopTimer(double seconds, std::function<void()> fire) {
    auto timer =
        dispatch::RunLoopTimer::create(seconds, false, [fire = std::move(fire)](dispatch::RunLoopTimer&) { fire(); });
    dispatch::RunLoop::main().addTimer(timer, dispatch::RunLoopMode::Common);
    return timer;
}

// Finishes an asynchronous operation when told to, or when the last step
// holding it is dropped without running (a discarded delayed block or
// animation), so the main operation queue is never held for good.
class Finisher {
public:
    explicit Finisher(ns::Ref<ns::Operation> operation) : operation_(std::move(operation)) {}
    Finisher(const Finisher&) = delete;
    Finisher& operator=(const Finisher&) = delete;
    ~Finisher() { now(); }
    void now() {
        if (auto operation = std::move(operation_)) operation->finish();
    }

private:
    ns::Ref<ns::Operation> operation_;
};
using FinisherRef = std::shared_ptr<Finisher>;

// An operation that is done when its body says so, not when it returns.
class StepOperation final : public ns::Operation {
public:
    using Body = std::function<void(const FinisherRef& finisher)>;
    explicit StepOperation(Body body) : body_(std::move(body)) {}
    bool isAsynchronous() const override { return true; }
    void main() override {
        auto finisher = std::make_shared<Finisher>(ref<ns::Operation>());
        Body body = std::move(body_);
        body(finisher);
    }

private:
    Body body_;
};

}  // namespace

// ---- Making ----

KVTRProgressHUD::KVTRProgressHUD(const cg::Rect& frame) : View(frame) {
    initializing_ = true;
    setUserInteractionEnabled(false);
    activityCount_ = 0;
    backgroundView()->setAlpha(0);
    imageView()->setAlpha(0);
    statusLabel()->setAlpha(0);
    indefiniteAnimatedView()->setAlpha(0);
    ringView()->setAlpha(0);
    backgroundRingView()->setAlpha(0);

    defaultStyle_ = KVTRProgressHUDStyle::Light;
    defaultMaskType_ = MaskType::None;
    defaultAnimationType_ = KVTRProgressHUDAnimationType::Flat;
    minimumSize_ = {0, 0};
    font_ = ui::Font::preferredFontForTextStyle(ui::FontTextStyleSubheadline);
    backgroundColor_ = cg::Color::white();
    foregroundColor_ = cg::Color::black();
    backgroundLayerColor_ = cg::Color::fromWhite(0, 0.4);
    imageViewSize_ = {28, 28};
    shouldTintImages_ = true;
    ringThickness_ = 2;
    ringRadius_ = 18;
    ringNoTextRadius_ = 24;
    cornerRadius_ = 14;
    graceTimeInterval_ = 0;
    minimumDismissTimeInterval_ = 2.0;
    maximumDismissTimeInterval_ = std::numeric_limits<double>::max();
    offsetFromCenter_ = {0, 0};
    fadeInAnimationDuration_ = DefaultFadeDuration;
    fadeOutAnimationDuration_ = DefaultFadeDuration;
    maxSupportedWindowLevel_ = ui::WindowLevelNormal;
    hapticsEnabled_ = false;
    activeMaskType_ = defaultMaskType_;

    setAccessibilityIdentifier("KVTRProgressHUD");
    setIsAccessibilityElement(true);
    initializing_ = false;
}

KVTRProgressHUD::~KVTRProgressHUD() {
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
    if (graceTimer_) graceTimer_->invalidate();
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
}

ns::Ref<KVTRProgressHUD> KVTRProgressHUD::sharedView() {
    Shared& s = shared();
    std::lock_guard<std::mutex> hold(s.lock);
    if (!s.view) {
        s.view = std::make_shared<KVTRProgressHUD>(delegateWindowBounds());
        if (!s.resetHookInstalled) {
            s.resetHookInstalled = true;
            ui::addSharedStateResetHook([] { discardSharedViewForTesting(); });
        }
    }
    return s.view;
}

// A fresh process has no shared HUD: the next use makes one with the
// defaults. Operations still queued hold it weakly and find it gone.
void KVTRProgressHUD::discardSharedViewForTesting() {
    ns::Ref<KVTRProgressHUD> view;
    {
        Shared& s = shared();
        std::lock_guard<std::mutex> hold(s.lock);
        view = std::move(s.view);
    }
    if (!view) return;
    view->setGraceTimer(nullptr);
    view->setFadeOutTimer(nullptr);
    ns::NotificationCenter::defaultCenter()->removeObserver(view.get());
    if (view->controlView_) view->controlView_->removeFromSuperview();
    view->removeFromSuperview();
}

// ---- Settings ----

void KVTRProgressHUD::setDefaultStyle(KVTRProgressHUDStyle style) {
    auto hud = sharedView();
    hud->storeSetting(hud->defaultStyle_, style);
}

void KVTRProgressHUD::setDefaultMaskType(MaskType maskType) {
    auto hud = sharedView();
    hud->storeSetting(hud->defaultMaskType_, maskType);
}

void KVTRProgressHUD::setDefaultAnimationType(KVTRProgressHUDAnimationType type) {
    auto hud = sharedView();
    hud->storeSetting(hud->defaultAnimationType_, type);
}

void KVTRProgressHUD::setContainerView(const ns::Ref<ui::View>& containerView) {
    auto hud = sharedView();
    hud->storeSetting(hud->containerView_, containerView);
}

void KVTRProgressHUD::setMinimumSize(cg::Size minimumSize) {
    auto hud = sharedView();
    hud->storeSetting(hud->minimumSize_, minimumSize);
}

void KVTRProgressHUD::setRingThickness(double thickness) {
    auto hud = sharedView();
    hud->storeSetting(hud->ringThickness_, thickness);
}

void KVTRProgressHUD::setRingRadius(double radius) {
    auto hud = sharedView();
    hud->storeSetting(hud->ringRadius_, radius);
}

void KVTRProgressHUD::setRingNoTextRadius(double radius) {
    auto hud = sharedView();
    hud->storeSetting(hud->ringNoTextRadius_, radius);
}

void KVTRProgressHUD::setCornerRadius(double cornerRadius) {
    auto hud = sharedView();
    hud->storeSetting(hud->cornerRadius_, cornerRadius);
}

void KVTRProgressHUD::setBorderColor(const cg::Color& color) {
    sharedView()->hudView()->layer()->setBorderColor(color);
}

void KVTRProgressHUD::setBorderWidth(double width) { sharedView()->hudView()->layer()->setBorderWidth(width); }

void KVTRProgressHUD::setFont(const ns::Ref<ui::Font>& font) {
    auto hud = sharedView();
    hud->storeSetting(hud->font_, font);
}

void KVTRProgressHUD::setForegroundColor(const cg::Color& color) {
    auto hud = sharedView();
    hud->storeSetting(hud->foregroundColor_, color);
    setDefaultStyle(KVTRProgressHUDStyle::Custom);
}

void KVTRProgressHUD::setBackgroundColor(const cg::Color& color) {
    auto hud = sharedView();
    hud->storeSetting(hud->backgroundColor_, color);
    setDefaultStyle(KVTRProgressHUDStyle::Custom);
}

void KVTRProgressHUD::setBackgroundLayerColor(const cg::Color& color) {
    auto hud = sharedView();
    hud->storeSetting(hud->backgroundLayerColor_, color);
}

void KVTRProgressHUD::setImageViewSize(cg::Size size) { sharedView()->imageViewSize_ = size; }

void KVTRProgressHUD::setShouldTintImages(bool shouldTintImages) {
    auto hud = sharedView();
    hud->storeSetting(hud->shouldTintImages_, shouldTintImages);
}

void KVTRProgressHUD::setInfoImage(const ns::Ref<ui::Image>& image) {
    auto hud = sharedView();
    hud->storeSetting(hud->infoImage_, image);
}

void KVTRProgressHUD::setSuccessImage(const ns::Ref<ui::Image>& image) {
    auto hud = sharedView();
    hud->storeSetting(hud->successImage_, image);
}

void KVTRProgressHUD::setErrorImage(const ns::Ref<ui::Image>& image) {
    auto hud = sharedView();
    hud->storeSetting(hud->errorImage_, image);
}

void KVTRProgressHUD::setGraceTimeInterval(double interval) { sharedView()->graceTimeInterval_ = interval; }

void KVTRProgressHUD::setMinimumDismissTimeInterval(double interval) {
    auto hud = sharedView();
    hud->storeSetting(hud->minimumDismissTimeInterval_, interval);
}

void KVTRProgressHUD::setMaximumDismissTimeInterval(double interval) {
    sharedView()->maximumDismissTimeInterval_ = interval;
}

void KVTRProgressHUD::setFadeInAnimationDuration(double duration) {
    auto hud = sharedView();
    hud->storeSetting(hud->fadeInAnimationDuration_, duration);
}

void KVTRProgressHUD::setFadeOutAnimationDuration(double duration) {
    auto hud = sharedView();
    hud->storeSetting(hud->fadeOutAnimationDuration_, duration);
}

void KVTRProgressHUD::setMaxSupportedWindowLevel(double windowLevel) {
    auto hud = sharedView();
    hud->storeSetting(hud->maxSupportedWindowLevel_, windowLevel);
}

void KVTRProgressHUD::setHapticsEnabled(bool hapticsEnabled) { sharedView()->hapticsEnabled_ = hapticsEnabled; }

void KVTRProgressHUD::setOffsetFromCenter(KVTRProgressHUDOffset offset) {
    auto hud = sharedView();
    hud->storeSetting(hud->offsetFromCenter_, offset);
}

void KVTRProgressHUD::resetOffsetFromCenter() { setOffsetFromCenter({0, 0}); }

// ---- Class interface: showing ----

void KVTRProgressHUD::setStatus(const Status& status) {
    auto hud = sharedView();
    const auto& label = hud->statusLabel();
    label->setText(status);
    label->setHidden(isEmpty(status));
    hud->updateHUDFrame();
    if (hud->backgroundView()->alpha() > 0 && hud->controlView()->window() && !isEmpty(status) &&
        status->utf8() != hud->loggedText_) {
        hud->loggedText_ = status->utf8();
        ns::logScreen("hud", hud->loggedText_);
    }
}

void KVTRProgressHUD::show() { showWithStatus(nullptr); }

void KVTRProgressHUD::showWithMaskType(MaskType maskType) { showWithStatus(nullptr, maskType); }

void KVTRProgressHUD::showWithStatus(const Status& status) { showProgress(-1, status); }

void KVTRProgressHUD::showWithStatus(const Status& status, MaskType maskType) { showProgress(-1, status, maskType); }

void KVTRProgressHUD::showProgress(float progress) { showProgress(progress, Status()); }

void KVTRProgressHUD::showProgress(float progress, MaskType maskType) { showProgress(progress, Status(), maskType); }

void KVTRProgressHUD::showProgress(float progress, const Status& status) {
    sharedView()->showProgressOperation(progress, status, std::nullopt);
}

void KVTRProgressHUD::showProgress(float progress, const Status& status, MaskType maskType) {
    sharedView()->showProgressOperation(progress, status, maskType);
}

void KVTRProgressHUD::showImage(const ns::Ref<ui::Image>& image, const Status& status) {
    sharedView()->showImageOperation(image, status, displayDurationForString(status), std::nullopt);
}

void KVTRProgressHUD::showImage(const ns::Ref<ui::Image>& image, const Status& status, MaskType maskType) {
    sharedView()->showImageOperation(image, status, displayDurationForString(status), maskType);
}

void KVTRProgressHUD::playHaptic(ui::NotificationFeedbackType type) {
    if (auto generator = hapticGenerator()) generator->notificationOccurred(type);
}

namespace {

void enqueueHaptic(ui::NotificationFeedbackType type) {
    if (!hasNotificationFeedback()) return;
    dispatch::mainQueue()->async([type] {
        auto hud = KVTRProgressHUD::sharedView();
        if (auto generator = hud->hapticGenerator()) generator->notificationOccurred(type);
    });
}

}  // namespace

void KVTRProgressHUD::showInfoWithStatus(const Status& status) {
    showImage(sharedView()->infoImage(), status);
    enqueueHaptic(ui::NotificationFeedbackType::Warning);
}

void KVTRProgressHUD::showInfoWithStatus(const Status& status, MaskType maskType) {
    showImage(sharedView()->infoImage(), status, maskType);
    enqueueHaptic(ui::NotificationFeedbackType::Warning);
}

void KVTRProgressHUD::showSuccessWithStatus(const Status& status) {
    showImage(sharedView()->successImage(), status);
    enqueueHaptic(ui::NotificationFeedbackType::Success);
}

void KVTRProgressHUD::showSuccessWithStatus(const Status& status, MaskType maskType) {
    showImage(sharedView()->successImage(), status, maskType);
    enqueueHaptic(ui::NotificationFeedbackType::Success);
    enqueueHaptic(ui::NotificationFeedbackType::Success);
}

namespace {

void enqueueError(const KVTRProgressHUD::Status& status, std::optional<KVTRProgressHUDMaskType> maskType) {
    dispatch::mainQueue()->async([status, maskType] {
        auto hud = KVTRProgressHUD::sharedView();
        KVTRProgressHUD::dismissWithDelay(0);
        if (maskType) {
            KVTRProgressHUD::showImage(hud->errorImage(), status, *maskType);
        } else {
            KVTRProgressHUD::showImage(hud->errorImage(), status);
        }
        if (hasNotificationFeedback()) {
            if (auto generator = hud->hapticGenerator())
                generator->notificationOccurred(ui::NotificationFeedbackType::Error);
        }
    });
}

}  // namespace

void KVTRProgressHUD::showErrorWithStatus(const Status& status) { enqueueError(status, std::nullopt); }

void KVTRProgressHUD::showErrorWithStatus(const Status& status, MaskType maskType) {
    enqueueError(status, maskType);
    enqueueHaptic(ui::NotificationFeedbackType::Error);
}

// ---- Class interface: dismissing ----

void KVTRProgressHUD::popActivity() {
    auto hud = sharedView();
    if (hud->activityCount_ > 0) --hud->activityCount_;
    if (hud->activityCount_ == 0) hud->dismissOperation(0, nullptr);
}

void KVTRProgressHUD::dismiss() { dismissWithDelay(0, nullptr); }

void KVTRProgressHUD::dismissWithCompletion(Completion completion) { dismissWithDelay(0, std::move(completion)); }

void KVTRProgressHUD::dismissWithDelay(double delay) { dismissWithDelay(delay, nullptr); }

void KVTRProgressHUD::dismissWithDelay(double delay, Completion completion) {
    sharedView()->dismissOperation(delay, std::move(completion));
}

bool KVTRProgressHUD::iKVTRisible() { return sharedView()->backgroundView()->alpha() > 0; }

double KVTRProgressHUD::displayDurationForString(const Status& string) {
    auto hud = sharedView();
    double length = string ? double(string->length()) : 0;
    return std::min(std::max(length * 0.06 + 0.5, hud->minimumDismissTimeInterval_), hud->maximumDismissTimeInterval_);
}

// ---- Haptics ----

ns::Ref<ui::NotificationFeedbackGenerator> KVTRProgressHUD::hapticGenerator() {
    if (!hapticsEnabled_) return nullptr;
    if (!hapticGenerator_) hapticGenerator_ = std::make_shared<ui::NotificationFeedbackGenerator>();
    return hapticGenerator_;
}

// ---- Timers ----

void KVTRProgressHUD::setGraceTimer(std::shared_ptr<dispatch::RunLoopTimer> timer) {
    if (graceTimer_) graceTimer_->invalidate();
    graceTimer_ = std::move(timer);
}

void KVTRProgressHUD::setFadeOutTimer(std::shared_ptr<dispatch::RunLoopTimer> timer) {
    if (fadeOutTimer_) fadeOutTimer_->invalidate();
    fadeOutTimer_ = std::move(timer);
}

// ---- Show operations ----

bool KVTRProgressHUD::hasStatusText() { return !isEmpty(statusLabel()->text()); }

void KVTRProgressHUD::showProgressOperation(float progress, const Status& status, std::optional<MaskType> maskType) {
    ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
    ns::OperationQueue::mainQueue()->addOperationWithBlock([weak, progress, status, maskType] {
        auto self = weak.lock();
        if (!self) return;
        self->activeMaskType_ = maskType.value_or(self->defaultMaskType_);
        // A spinner replacing an image still waiting for its fade-out
        // starts counting again.
        if (self->fadeOutTimer_ && self->fadeOutTimer_->isValid()) self->activityCount_ = 0;
        self->setFadeOutTimer(nullptr);
        self->setGraceTimer(nullptr);
        self->updateViewHierarchy();

        self->imageView()->setHidden(true);
        self->imageView()->setImage(nullptr);
        self->statusLabel()->setHidden(isEmpty(status));
        self->statusLabel()->setText(status);
        self->progress_ = progress;

        const auto& content = self->hudView()->contentView();
        if (progress >= 0) {
            self->cancelIndefiniteAnimatedViewAnimation();
            if (!self->ringView()->superview()) content->addSubview(self->ringView());
            if (!self->backgroundRingView()->superview()) content->addSubview(self->backgroundRingView());
            const auto& ring = self->ringView();
            ui::performWithoutActions([&] { ring->setStrokeEnd(progress); });
            if (progress == 0) ++self->activityCount_;
        } else {
            self->cancelRingLayerAnimation();
            content->addSubview(self->indefiniteAnimatedView());
            if (auto spinner = ns::cast<ui::ActivityIndicatorView>(self->indefiniteAnimatedView())) {
                spinner->startAnimating();
            }
            ++self->activityCount_;
        }

        if (self->graceTimeInterval_ > 0 && self->backgroundView()->alpha() == 0) {
            self->setGraceTimer(mainLoopTimer(self->graceTimeInterval_, [weak] {
                if (auto hud = weak.lock()) hud->fadeIn(std::nullopt);
            }));
        } else {
            self->fadeIn(std::nullopt);
        }
        if (hasNotificationFeedback()) {
            if (auto generator = self->hapticGenerator()) generator->prepare();
        }
    });
}

void KVTRProgressHUD::showImageOperation(const ns::Ref<ui::Image>& image, const Status& status, double duration,
                                         std::optional<MaskType> maskType) {
    ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
    ns::OperationQueue::mainQueue()->addOperationWithBlock([weak, image, status, duration, maskType] {
        auto self = weak.lock();
        if (!self) return;
        self->activeMaskType_ = maskType.value_or(self->defaultMaskType_);
        self->setFadeOutTimer(nullptr);
        self->setGraceTimer(nullptr);
        self->updateViewHierarchy();
        self->progress_ = -1;
        self->cancelRingLayerAnimation();
        self->cancelIndefiniteAnimatedViewAnimation();

        const auto& imageView = self->imageView();
        if (self->shouldTintImages_) {
            auto shown = image;
            if (shown && shown->renderingMode() != ui::ImageRenderingMode::AlwaysTemplate) {
                shown = shown->imageWithRenderingMode(ui::ImageRenderingMode::AlwaysTemplate);
            }
            imageView->setImage(shown);
            imageView->setTintColor(self->foregroundColorForStyle());
        } else {
            imageView->setImage(image);
        }
        imageView->setHidden(false);
        self->statusLabel()->setHidden(isEmpty(status));
        self->statusLabel()->setText(status);

        if (self->graceTimeInterval_ > 0 && self->backgroundView()->alpha() == 0) {
            self->setGraceTimer(mainLoopTimer(self->graceTimeInterval_, [weak, duration] {
                if (auto hud = weak.lock()) hud->fadeIn(duration);
            }));
        } else {
            self->fadeIn(duration);
        }
    });
}

// ---- Fading in ----

void KVTRProgressHUD::fadeIn(std::optional<double> displayTime) {
    updateHUDFrame();
    positionHUD(nullptr);

    // Headless, the log is the screen: each show with a text is a line,
    // except a ring moving on under the text already up. Without a window to
    // show in, nothing is seen.
    if (hasStatusText() && controlView()->window()) {
        std::string shown = statusLabel()->text()->utf8();
        bool ringUpdate = progress_ >= 0 && backgroundView()->alpha() == 1 && shown == loggedText_;
        if (!ringUpdate) ns::logScreen("hud", shown);
        loggedText_ = std::move(shown);
    }

    std::string announcedText =
        hasStatusText()
            ? statusLabel()->text()->utf8()
            : ns::Bundle::mainBundle()->localizedStringForKey(ns::str("Loading"), ns::str(""), nullptr)->utf8();
    if (activeMaskType_ == MaskType::None) {
        controlView()->setUserInteractionEnabled(false);
        hudView()->setAccessibilityLabel(announcedText);
        hudView()->setIsAccessibilityElement(true);
        controlView()->setAccessibilityViewIsModal(false);
    } else {
        controlView()->setUserInteractionEnabled(true);
        setAccessibilityLabel(announcedText);
        setIsAccessibilityElement(true);
        controlView()->setAccessibilityViewIsModal(true);
    }

    ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
    auto announceAndTime = [weak, displayTime] {
        auto self = weak.lock();
        if (!self) return;
        ui::accessibilityPostNotification(ui::AccessibilityScreenChangedNotification);
        ui::accessibilityPostNotification(ui::AccessibilityAnnouncementNotification, self->statusLabel()->text());
        if (displayTime) {
            self->setFadeOutTimer(mainLoopTimer(*displayTime, [weak] {
                if (auto hud = weak.lock()) hud->dismissOperation(0, nullptr);
            }));
        }
    };

    if (backgroundView()->alpha() != 1) {
        post(KVTRProgressHUDWillAppearNotification, true);
        hudView()->setTransform(hudView()->transform().scaled(AppearingScale, AppearingScale));
        auto animations = [weak] {
            if (auto self = weak.lock()) {
                self->hudView()->setTransform(cg::AffineTransform::identity());
                self->fadeInEffects();
            }
        };
        auto completion = [weak, announceAndTime](bool) {
            auto self = weak.lock();
            if (!self || self->backgroundView()->alpha() != 1) return;
            self->registerNotifications();
            self->post(KVTRProgressHUDDidAppearNotification, true);
            announceAndTime();
        };
        if (fadeInAnimationDuration_ > 0) {
            ui::View::animate(fadeInAnimationDuration_, 0,
                              ui::ViewAnimationOptionLayoutSubviews | ui::ViewAnimationOptionAllowUserInteraction |
                                  ui::ViewAnimationOptionBeginFromCurrentState,
                              animations, completion);
        } else {
            animations();
            completion(true);
        }
        setNeedsDisplay();
    } else {
        announceAndTime();
    }
}

// ---- Dismissing ----

void KVTRProgressHUD::dismissOperation(double delay, Completion completion) {
    ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
    auto operation = std::make_shared<StepOperation>([weak, delay, completion](const FinisherRef& finisher) {
        auto self = weak.lock();
        if (!self) return;
        self->setGraceTimer(nullptr);
        ns::NotificationCenter::defaultCenter()->postNotificationName(KVTRProgressHUDWillDisappearNotification, nullptr,
                                                                      self->notificationUserInfo());
        self->activityCount_ = 0;
        dispatch::after(delay, dispatch::mainQueue(), [weak, completion, finisher] {
            auto self = weak.lock();
            if (!self) return;
            auto animations = [weak] {
                if (auto hud = weak.lock()) {
                    hud->hudView()->setTransform(
                        hud->hudView()->transform().scaled(DisappearingScale, DisappearingScale));
                    hud->fadeOutEffects();
                }
            };
            auto done = [weak, completion, finisher](bool) {
                if (auto hud = weak.lock()) hud->completeDismiss(completion);
                finisher->now();
            };
            if (self->fadeOutAnimationDuration_ > 0) {
                ui::View::animate(
                    self->fadeOutAnimationDuration_, 0,
                    ui::ViewAnimationOptionAllowUserInteraction | ui::ViewAnimationOptionBeginFromCurrentState,
                    animations, done);
            } else {
                animations();
                done(true);
            }
        });
        self->setNeedsDisplay();
    });
    ns::OperationQueue::mainQueue()->addOperation(operation);
}

void KVTRProgressHUD::completeDismiss(const Completion& completion) {
    // A show that came in meanwhile wins.
    if (backgroundView()->alpha() != 0) return;
    auto keep = ref<KVTRProgressHUD>();
    loggedText_.clear();
    controlView()->removeFromSuperview();
    backgroundView()->removeFromSuperview();
    hudView()->removeFromSuperview();
    removeFromSuperview();
    progress_ = -1;
    cancelRingLayerAnimation();
    cancelIndefiniteAnimatedViewAnimation();
    ns::NotificationCenter::defaultCenter()->removeObserver(this);
    post(KVTRProgressHUDDidDisappearNotification, true);
    if (auto key = ui::Application::sharedApplication()->keyWindow()) {
        if (const auto& root = key->rootViewController()) root->setNeedsStatusBarAppearanceUpdate();
    }
    if (completion) completion();
}

// ---- Notifications and touches ----

ns::Ref<ns::Dictionary> KVTRProgressHUD::notificationUserInfo() {
    if (!hasStatusText()) return nullptr;
    return ns::Dictionary::make({{KVTRProgressHUDStatusUserInfoKey, statusLabel()->text()}});
}

void KVTRProgressHUD::post(const char* name, bool withObject) {
    ns::NotificationCenter::defaultCenter()->postNotificationName(name, withObject ? self() : nullptr,
                                                                  notificationUserInfo());
}

void KVTRProgressHUD::controlViewDidReceiveTouchEvent(ui::Control&, ui::Event* event) {
    post(KVTRProgressHUDDidReceiveTouchEventNotification, true);
    if (!event || event->allTouches().empty()) return;
    cg::Point location = event->allTouches().front()->locationInView(this);
    if (hudView()->frame().containsPoint(location)) post(KVTRProgressHUDDidTouchDownInsideNotification, true);
}
