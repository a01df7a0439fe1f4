#include "ui/hud/sd_KXProgressHUD.h"

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/RunLoopTimer.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/Number.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Appearance.h"
#include "platform/uikit/MotionEffect.h"
#include "platform/uikit/Screen.h"
#include "ui/hud/sd_KXBarProgressView.h"
#include "ui/hud/sd_KXRoundProgressView.h"

RT_DEFINE_CLASS(sd_KXProgressHUD, ui::View, "sd_KXProgressHUD")

namespace {

constexpr float CompressionResistance = 998;

void resistCompression(ui::View& view) {
    view.setContentCompressionResistancePriority(CompressionResistance, ui::LayoutConstraintAxis::Horizontal);
    view.setContentCompressionResistancePriority(CompressionResistance, ui::LayoutConstraintAxis::Vertical);
}

ui::AppearanceProxy& proxyInHUD(const rt::Class* cls) {
    return ui::AppearanceRegistry::proxy(cls, {sd_KXProgressHUD::staticClass()});
}

}  // namespace

// ---- Making ----

sd_KXProgressHUD::sd_KXProgressHUD() : sd_KXProgressHUD(cg::Rect{}) {}

sd_KXProgressHUD::sd_KXProgressHUD(const cg::Rect& frame) : View(frame) { commonInit(); }

sd_KXProgressHUD::~sd_KXProgressHUD() {
    unregisterFromNotifications();
    if (displayLink_) displayLink_->invalidate();
}

void sd_KXProgressHUD::commonInit() {
    animationType_ = sd_KXProgressHUDAnimation::Fade;
    mode_ = sd_KXProgressHUDMode::Indeterminate;
    margin_ = 20;
    opacity_ = 1;
    defaultMotionEffectsEnabled_ = true;
    contentColor_ = cg::Color::fromWhite(0, 0.7);
    setOpaque(false);
    setBackgroundColor(cg::Color::clear());
    setAlpha(0);
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    layer()->setAllowsGroupOpacity(false);
    setupViews();
    updateIndicators();
    registerForNotifications();
}

void sd_KXProgressHUD::setupViews() {
    const cg::Color content = contentColor_.value_or(cg::Color::black());

    backgroundView_ = std::make_shared<sd_KXBackgroundView>(bounds());
    backgroundView_->setStyle(sd_KXProgressHUDBackgroundStyle::SolidColor);
    backgroundView_->setBackgroundColor(cg::Color::clear());
    backgroundView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    backgroundView_->setAlpha(0);
    addSubview(backgroundView_);

    bezelView_ = std::make_shared<sd_KXBackgroundView>();
    bezelView_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bezelView_->layer()->setCornerRadius(5);
    bezelView_->setAlpha(0);
    addSubview(bezelView_);
    updateBezelMotionEffects();

    label_ = ui::Label::make();
    label_->setAdjustsFontSizeToFitWidth(false);
    label_->setTextAlignment(ui::TextAlignment::Center);
    label_->setTextColor(content);
    label_->setFont(ui::Font::boldSystemFontOfSize(16));
    label_->setOpaque(false);
    label_->setBackgroundColor(cg::Color::clear());

    detailsLabel_ = ui::Label::make();
    detailsLabel_->setAdjustsFontSizeToFitWidth(false);
    detailsLabel_->setTextAlignment(ui::TextAlignment::Center);
    detailsLabel_->setTextColor(content);
    detailsLabel_->setNumberOfLines(0);
    detailsLabel_->setFont(ui::Font::boldSystemFontOfSize(12));
    detailsLabel_->setOpaque(false);
    detailsLabel_->setBackgroundColor(cg::Color::clear());

    button_ = std::make_shared<sd_KXProgressHUDRoundedButton>();
    button_->titleLabel()->setTextAlignment(ui::TextAlignment::Center);
    button_->titleLabel()->setFont(ui::Font::boldSystemFontOfSize(12));
    button_->setTitleColor(content, ui::ControlStateNormal);

    for (const ns::Ref<ui::View>& view :
         {ns::Ref<ui::View>(label_), ns::Ref<ui::View>(detailsLabel_), ns::Ref<ui::View>(button_)}) {
        view->setTranslatesAutoresizingMaskIntoConstraints(false);
        resistCompression(*view);
        bezelView_->addSubview(view);
    }

    topSpacer_ = ui::View::make();
    topSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    topSpacer_->setHidden(true);
    bezelView_->addSubview(topSpacer_);
    bottomSpacer_ = ui::View::make();
    bottomSpacer_->setTranslatesAutoresizingMaskIntoConstraints(false);
    bottomSpacer_->setHidden(true);
    bezelView_->addSubview(bottomSpacer_);
}

void sd_KXProgressHUD::updateIndicators() {
    ns::Ref<ui::View> indicator = indicator_;
    auto replaceWith = [&](ns::Ref<ui::View> next) {
        if (indicator) indicator->removeFromSuperview();
        indicator = std::move(next);
        if (indicator) bezelView_->addSubview(indicator);
    };
    switch (mode_) {
        case sd_KXProgressHUDMode::Indeterminate:
            if (!ns::cast<ui::ActivityIndicatorView>(indicator)) {
                auto spinner = ui::ActivityIndicatorView::make(ui::ActivityIndicatorViewStyle::WhiteLarge);
                spinner->startAnimating();
                replaceWith(spinner);
            }
            break;
        case sd_KXProgressHUDMode::DeterminateHorizontalBar:
            replaceWith(std::make_shared<sd_KXBarProgressView>());
            break;
        case sd_KXProgressHUDMode::Determinate:
        case sd_KXProgressHUDMode::AnnularDeterminate:
            if (!ns::cast<sd_KXRoundProgressView>(indicator)) replaceWith(std::make_shared<sd_KXRoundProgressView>());
            if (mode_ == sd_KXProgressHUDMode::AnnularDeterminate) {
                ns::cast<sd_KXRoundProgressView>(indicator)->setAnnular(true);
            }
            break;
        case sd_KXProgressHUDMode::CustomView:
            if (customView_ != indicator) replaceWith(customView_);
            break;
        case sd_KXProgressHUDMode::Text:
            replaceWith(nullptr);
            break;
    }
    if (indicator) indicator->setTranslatesAutoresizingMaskIntoConstraints(false);
    indicator_ = indicator;
    if (auto progressing = dynamic_cast<sd_KXProgressIndicator*>(indicator.get())) progressing->setProgress(progress_);
    if (indicator) resistCompression(*indicator);
    updateViewsForColor(contentColor_);
    setNeedsUpdateConstraints();
}

void sd_KXProgressHUD::updateViewsForColor(const std::optional<cg::Color>& given) {
    if (!given) return;
    cg::Color color = *given;
    label_->setTextColor(color);
    detailsLabel_->setTextColor(color);
    button_->setTitleColor(color, ui::ControlStateNormal);

    if (activityIndicatorColor_) color = *activityIndicatorColor_;
    if (auto spinner = ns::cast<ui::ActivityIndicatorView>(indicator_)) {
        if (!proxyInHUD(ui::ActivityIndicatorView::staticClass()).color("color")) spinner->setColor(color);
    } else if (auto round = ns::cast<sd_KXRoundProgressView>(indicator_)) {
        auto& proxy = proxyInHUD(sd_KXRoundProgressView::staticClass());
        if (!proxy.color("progressTintColor")) round->setProgressTintColor(color);
        if (!proxy.color("backgroundTintColor")) round->setBackgroundTintColor(color.withAlpha(0.1));
    } else if (auto bar = ns::cast<sd_KXBarProgressView>(indicator_)) {
        auto& proxy = proxyInHUD(sd_KXBarProgressView::staticClass());
        if (!proxy.color("progressColor")) bar->setProgressColor(color);
        if (!proxy.color("lineColor")) bar->setLineColor(color);
    } else if (indicator_) {
        indicator_->setTintColor(color);
    }
}

void sd_KXProgressHUD::updateBezelMotionEffects() {
    if (defaultMotionEffectsEnabled_) {
        auto effectX = std::make_shared<ui::InterpolatingMotionEffect>(
            "center.x", ui::InterpolatingMotionEffectType::TiltAlongHorizontalAxis);
        effectX->setMinimumRelativeValue(ns::Number::withDouble(-10));
        effectX->setMaximumRelativeValue(ns::Number::withDouble(10));
        auto effectY = std::make_shared<ui::InterpolatingMotionEffect>(
            "center.y", ui::InterpolatingMotionEffectType::TiltAlongVerticalAxis);
        effectY->setMinimumRelativeValue(ns::Number::withDouble(-10));
        effectY->setMaximumRelativeValue(ns::Number::withDouble(10));
        auto group = std::make_shared<ui::MotionEffectGroup>();
        group->setMotionEffects({effectX, effectY});
        bezelView_->addMotionEffect(group);
    } else {
        for (const auto& effect : std::vector<ns::Ref<ui::MotionEffect>>(bezelView_->motionEffects())) {
            bezelView_->removeMotionEffect(effect);
        }
    }
}

// ---- Class operations ----

ns::Ref<sd_KXProgressHUD> sd_KXProgressHUD::initWithView(const ns::Ref<ui::View>& view) {
    return std::make_shared<sd_KXProgressHUD>(view ? view->bounds() : cg::Rect{});
}

ns::Ref<sd_KXProgressHUD> sd_KXProgressHUD::showHUDAddedTo(const ns::Ref<ui::View>& view, bool animated,
                                                           const rt::Class* cls) {
    ns::Ref<sd_KXProgressHUD> hud;
    if (!cls || cls == staticClass()) {
        hud = initWithView(view);
    } else {
        hud = ns::cast<sd_KXProgressHUD>(cls->create());
        if (!hud) return nullptr;
        if (view) hud->setFrame(view->bounds());
    }
    hud->setRemoveFromSuperViewOnHide(true);
    if (view) view->addSubview(hud);
    hud->showAnimated(animated);
    return hud;
}

bool sd_KXProgressHUD::hideHUDForView(const ns::Ref<ui::View>& view, bool animated, const rt::Class* cls) {
    auto hud = HUDForView(view, cls);
    if (!hud) return false;
    hud->setRemoveFromSuperViewOnHide(true);
    hud->hideAnimated(animated);
    return true;
}

ns::Ref<sd_KXProgressHUD> sd_KXProgressHUD::HUDForView(const ns::Ref<ui::View>& view, const rt::Class* cls) {
    if (!view) return nullptr;
    const auto& subviews = view->subviews();
    for (auto it = subviews.rbegin(); it != subviews.rend(); ++it) {
        if (!(*it)->isKindOf(cls)) continue;
        auto hud = ns::cast<sd_KXProgressHUD>(*it);
        if (hud && !hud->hasFinished()) return hud;
    }
    return nullptr;
}

// ---- Showing and hiding ----

std::shared_ptr<dispatch::RunLoopTimer> sd_KXProgressHUD::scheduleTimer(double seconds, std::function<void()> fire) {
    auto timer =
        dispatch::RunLoopTimer::create(seconds, false, [fire = std::move(fire)](dispatch::RunLoopTimer&) { fire(); });
    dispatch::RunLoop::current().addTimer(timer, dispatch::RunLoopMode::Common);
    return timer;
}

namespace {

void invalidate(const std::weak_ptr<dispatch::RunLoopTimer>& timer) {
    if (auto t = timer.lock()) t->invalidate();
}

}  // namespace

void sd_KXProgressHUD::showAnimated(bool animated) {
    invalidate(minShowTimer_);
    useAnimation_ = animated;
    finished_ = false;
    if (graceTime_ > 0) {
        // A scheduled timer keeps its target, as the platform's does.
        auto self = ref<sd_KXProgressHUD>();
        graceTimer_ = scheduleTimer(graceTime_, [self] { self->handleGraceTimer(); });
        return;
    }
    showUsingAnimation(useAnimation_);
}

void sd_KXProgressHUD::handleGraceTimer() {
    if (!finished_) showUsingAnimation(useAnimation_);
}

void sd_KXProgressHUD::showUsingAnimation(bool animated) {
    bezelView_->layer()->removeAllAnimations();
    backgroundView_->layer()->removeAllAnimations();
    invalidate(hideDelayTimer_);
    showStarted_ = dispatch::now();
    setAlpha(1);
    loggedText_.clear();
    logShownText();
    setNSProgressDisplayLinkEnabled(true);
    if (animated) {
        animateIn(true, animationType_, nullptr);
    } else {
        bezelView_->setAlpha(opacity_);
        backgroundView_->setAlpha(1);
    }
}

void sd_KXProgressHUD::hideAnimated(bool animated) {
    invalidate(graceTimer_);
    useAnimation_ = animated;
    finished_ = true;
    if (minShowTime_ > 0 && showStarted_) {
        double shown = dispatch::now() - *showStarted_;
        if (shown < minShowTime_) {
            auto self = ref<sd_KXProgressHUD>();
            minShowTimer_ = scheduleTimer(minShowTime_ - shown, [self] { self->handleMinShowTimer(); });
            return;
        }
    }
    hideUsingAnimation(useAnimation_);
}

void sd_KXProgressHUD::hideAnimated(bool animated, double delay) {
    auto self = ref<sd_KXProgressHUD>();
    hideDelayTimer_ = scheduleTimer(delay, [self, animated] { self->handleHideTimer(animated); });
}

void sd_KXProgressHUD::handleMinShowTimer() { hideUsingAnimation(useAnimation_); }

void sd_KXProgressHUD::handleHideTimer(bool animated) { hideAnimated(animated); }

void sd_KXProgressHUD::hideUsingAnimation(bool animated) {
    if (animated && showStarted_) {
        showStarted_.reset();
        ns::Weak<sd_KXProgressHUD> weak = ref<sd_KXProgressHUD>();
        animateIn(false, animationType_, [weak](bool) {
            if (auto self = weak.lock()) self->done();
        });
    } else {
        showStarted_.reset();
        bezelView_->setAlpha(0);
        backgroundView_->setAlpha(1);
        done();
    }
}

void sd_KXProgressHUD::animateIn(bool animatingIn, sd_KXProgressHUDAnimation type, ui::View::Completion completion) {
    using Animation = sd_KXProgressHUDAnimation;
    if (type == Animation::Zoom) type = animatingIn ? Animation::ZoomIn : Animation::ZoomOut;
    const auto small = cg::AffineTransform::makeScale(0.5, 0.5);
    const auto large = cg::AffineTransform::makeScale(1.5, 1.5);
    auto bezel = bezelView_;
    if (animatingIn && bezel->alpha() == 0) {
        if (type == Animation::ZoomIn)
            bezel->setTransform(small);
        else if (type == Animation::ZoomOut)
            bezel->setTransform(large);
    }
    auto background = backgroundView_;
    double opacity = opacity_;
    auto changes = [=] {
        if (animatingIn)
            bezel->setTransform(cg::AffineTransform::identity());
        else if (type == Animation::ZoomIn)
            bezel->setTransform(large);
        else if (type == Animation::ZoomOut)
            bezel->setTransform(small);
        bezel->setAlpha(animatingIn ? opacity : 0);
        background->setAlpha(animatingIn ? 1 : 0);
    };
    ui::View::animateWithSpring(0.3, 0, 1.0, 0, ui::ViewAnimationOptionBeginFromCurrentState, changes,
                                std::move(completion));
}

void sd_KXProgressHUD::done() {
    auto keep = ref<sd_KXProgressHUD>();  // removal may drop the host's reference
    invalidate(hideDelayTimer_);
    setNSProgressDisplayLinkEnabled(false);
    loggedText_.clear();
    if (finished_) {
        setAlpha(0);
        if (removeFromSuperViewOnHide_) removeFromSuperview();
    }
    if (Block completion = completionBlock()) completion();
    if (auto delegate = delegate_.lock()) delegate->hudWasHidden(*this);
}

void sd_KXProgressHUD::logShownText() {
    std::string shown;
    auto add = [&shown](const ns::Ref<ns::String>& text, bool bracketed) {
        if (!text || text->utf8().empty()) return;
        if (!shown.empty()) shown += " | ";
        shown += bracketed ? "[" + text->utf8() + "]" : text->utf8();
    };
    add(label_->text(), false);
    add(detailsLabel_->text(), false);
    add(button_->titleForState(ui::ControlStateNormal), true);
    if (shown.empty() || shown == loggedText_ || !window()) return;
    loggedText_ = shown;
    ns::logScreen("hud", shown);
}

sd_KXProgressHUD::Block sd_KXProgressHUD::completionBlock() const {
    std::lock_guard<std::mutex> hold(completionLock_);
    return completionBlock_;
}

void sd_KXProgressHUD::setCompletionBlock(Block block) {
    std::lock_guard<std::mutex> hold(completionLock_);
    completionBlock_ = std::move(block);
}

// ---- Progress ----

void sd_KXProgressHUD::setProgress(float progress) {
    if (progress == progress_) return;
    progress_ = progress;
    if (auto progressing = dynamic_cast<sd_KXProgressIndicator*>(indicator_.get())) {
        progressing->setProgress(progress);
    }
}

void sd_KXProgressHUD::setProgressObject(const ns::Ref<ns::Progress>& progress) {
    if (progress == progressObject_) return;
    progressObject_ = progress;
    setNSProgressDisplayLinkEnabled(true);
}

void sd_KXProgressHUD::setNSProgressDisplayLinkEnabled(bool enabled) {
    if (enabled && progressObject_) {
        if (!displayLink_) {
            ns::Weak<sd_KXProgressHUD> weak = ref<sd_KXProgressHUD>();
            setProgressObjectDisplayLink(ui::DisplayLink::make([weak](ui::DisplayLink&) {
                if (auto self = weak.lock()) self->updateProgressFromProgressObject();
            }));
        }
    } else {
        setProgressObjectDisplayLink(nullptr);
    }
}

void sd_KXProgressHUD::setProgressObjectDisplayLink(const ns::Ref<ui::DisplayLink>& link) {
    if (link == displayLink_) return;
    if (displayLink_) displayLink_->invalidate();
    displayLink_ = link;
    if (link) link->addToRunLoop(dispatch::RunLoop::main(), dispatch::RunLoopMode::Default);
}

void sd_KXProgressHUD::updateProgressFromProgressObject() {
    if (progressObject_) setProgress(float(progressObject_->fractionCompleted()));
}

// ---- Other setters ----

void sd_KXProgressHUD::setMode(sd_KXProgressHUDMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    updateIndicators();
}

void sd_KXProgressHUD::setCustomView(const ns::Ref<ui::View>& view) {
    if (view == customView_) return;
    customView_ = view;
    if (mode_ == sd_KXProgressHUDMode::CustomView) updateIndicators();
}

void sd_KXProgressHUD::setContentColor(std::optional<cg::Color> color) {
    if (color == contentColor_) return;
    contentColor_ = color;
    updateViewsForColor(color);
}

void sd_KXProgressHUD::setOffset(cg::Point offset) {
    if (offset == offset_) return;
    offset_ = offset;
    setNeedsUpdateConstraints();
}

void sd_KXProgressHUD::setMargin(double margin) {
    if (margin == margin_) return;
    margin_ = margin;
    setNeedsUpdateConstraints();
}

void sd_KXProgressHUD::setMinSize(cg::Size size) {
    if (size == minSize_) return;
    minSize_ = size;
    setNeedsUpdateConstraints();
}

void sd_KXProgressHUD::setSquare(bool square) {
    if (square == square_) return;
    square_ = square;
    setNeedsUpdateConstraints();
}

void sd_KXProgressHUD::setDefaultMotionEffectsEnabled(bool enabled) {
    if (enabled == defaultMotionEffectsEnabled_) return;
    defaultMotionEffectsEnabled_ = enabled;
    updateBezelMotionEffects();
}

// ---- Host geometry ----

void sd_KXProgressHUD::registerForNotifications() {
    // Removed by the destructor, so the raw pointer never outlives the HUD.
    ns::NotificationCenter::defaultCenter()->addObserver(
        this, ui::ApplicationDidChangeStatusBarOrientationNotification, nullptr,
        [this](const ns::Ref<ns::Notification>&) { statusBarOrientationDidChange(); });
}

void sd_KXProgressHUD::unregisterFromNotifications() {
    ns::NotificationCenter::defaultCenter()->removeObserver(
        this, ui::ApplicationDidChangeStatusBarOrientationNotification, nullptr);
}

void sd_KXProgressHUD::statusBarOrientationDidChange() {
    if (superview()) updateForCurrentOrientationAnimated(true);
}

void sd_KXProgressHUD::updateForCurrentOrientationAnimated(bool) {
    if (auto parent = superview()) setFrame(parent->bounds());
}

void sd_KXProgressHUD::didMoveToSuperview() { updateForCurrentOrientationAnimated(false); }
