// The status HUD's views: what it is made of, where it goes in the window
// hierarchy, the panel's size and layout, its place on screen, the styles,
// the mask types and the keyboard probe.

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/foundation/Number.h"
#include "platform/uikit/ActivityIndicatorView.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/MotionEffect.h"
#include "platform/uikit/Screen.h"
#include "platform/uikit/Transaction.h"
#include "platform/uikit/Window.h"
#include "ui/hud/KVTRIndefiniteAnimatedView.h"
#include "ui/hud/KVTRProgressAnimatedView.h"
#include "ui/hud/KVTRProgressHUD.h"
#include "ui/hud/KVTRRadialGradientLayer.h"

namespace {

// Around the content, and between the content and the text.
constexpr double Spacing = 12;
constexpr double TextGap = 8;

// The platform's alpha values, in single precision.
constexpr double PanelAlpha = double(0.6f);
constexpr double TrackAlpha = double(0.1f);

cg::Rect delegateWindowBounds() {
    const auto& delegate = ui::Application::sharedApplication()->delegate();
    auto window = delegate ? delegate->window() : nullptr;
    return window ? window->bounds() : cg::Rect{};
}

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }
bool endsWith(std::string_view s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.substr(s.size() - suffix.size()) == suffix;
}

ns::Ref<ui::BlurEffect> blurFor(KVTRProgressHUDStyle style) {
    return ui::BlurEffect::effectWithStyle(style == KVTRProgressHUDStyle::Dark ? ui::BlurEffectStyle::Dark
                                                                               : ui::BlurEffectStyle::Light);
}

}  // namespace

// ---- Component views ----

const ns::Ref<ui::Control>& KVTRProgressHUD::controlView() {
    if (!controlView_) {
        controlView_ = std::make_shared<ui::Control>();
        controlView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
        controlView_->setBackgroundColor(cg::Color::clear());
        controlView_->setUserInteractionEnabled(true);
        ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
        controlView_->addTarget(
            self(), "controlViewDidReceiveTouchEvent:forEvent:",
            [weak](ui::Control& control, ui::Event* event) {
                if (auto hud = weak.lock()) hud->controlViewDidReceiveTouchEvent(control, event);
            },
            ui::ControlEventTouchDown);
    }
    controlView_->setFrame(delegateWindowBounds());
    return controlView_;
}

const ns::Ref<ui::View>& KVTRProgressHUD::backgroundView() {
    if (!backgroundView_) {
        backgroundView_ = ui::View::make();
        backgroundView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth | ui::ViewAutoresizingFlexibleHeight);
    }
    if (!backgroundView_->superview()) insertSubviewBelow(backgroundView_, hudView());

    switch (activeMaskType_) {
        case MaskType::Gradient:
            if (!gradientLayer_) gradientLayer_ = std::make_shared<KVTRRadialGradientLayer>();
            if (!gradientLayer_->superlayer()) backgroundView_->layer()->insertSublayer(gradientLayer_, 0);
            backgroundView_->setBackgroundColor(cg::Color::clear());
            break;
        case MaskType::Black:
            backgroundView_->setBackgroundColor(cg::Color::fromWhite(0, 0.4));
            break;
        case MaskType::Custom:
            backgroundView_->setBackgroundColor(backgroundLayerColor_);
            break;
        default:
            backgroundView_->setBackgroundColor(cg::Color::clear());
            break;
    }
    if (activeMaskType_ != MaskType::Gradient && gradientLayer_) gradientLayer_->removeFromSuperlayer();

    backgroundView_->setFrame(bounds());
    if (gradientLayer_) {
        gradientLayer_->setFrame(bounds());
        cg::Point centre{center().x, (bounds().height() - visibleKeyboardHeight()) / 2};
        gradientLayer_->setGradientCenter(centre);
        gradientLayer_->setNeedsDisplay();
    }
    return backgroundView_;
}

const ns::Ref<ui::VisualEffectView>& KVTRProgressHUD::hudView() {
    if (!hudView_) {
        hudView_ = ui::VisualEffectView::make();
        hudView_->layer()->setMasksToBounds(true);
        hudView_->setAutoresizingMask(ui::ViewAutoresizingFlexibleBottomMargin | ui::ViewAutoresizingFlexibleTopMargin |
                                      ui::ViewAutoresizingFlexibleRightMargin | ui::ViewAutoresizingFlexibleLeftMargin);
    }
    if (!hudView_->superview()) addSubview(hudView_);
    hudView_->layer()->setCornerRadius(cornerRadius_);
    return hudView_;
}

const ns::Ref<ui::Label>& KVTRProgressHUD::statusLabel() {
    if (!statusLabel_) {
        statusLabel_ = ui::Label::make();
        statusLabel_->setBackgroundColor(cg::Color::clear());
        statusLabel_->setAdjustsFontSizeToFitWidth(true);
        statusLabel_->setTextAlignment(ui::TextAlignment::Center);
        statusLabel_->setBaselineAdjustment(ui::BaselineAdjustment::AlignCenters);
        statusLabel_->setNumberOfLines(0);
    }
    if (!statusLabel_->superview()) hudView()->contentView()->addSubview(statusLabel_);
    statusLabel_->setTextColor(foregroundColorForStyle());
    statusLabel_->setFont(font_);
    return statusLabel_;
}

const ns::Ref<ui::ImageView>& KVTRProgressHUD::imageView() {
    if (imageView_ && imageView_->bounds().size != imageViewSize_) {
        imageView_->removeFromSuperview();
        imageView_.reset();
    }
    if (!imageView_) imageView_ = ui::ImageView::make({0, 0, imageViewSize_.width, imageViewSize_.height});
    if (!imageView_->superview()) hudView()->contentView()->addSubview(imageView_);
    return imageView_;
}

const ns::Ref<ui::View>& KVTRProgressHUD::indefiniteAnimatedView() {
    const double radius = hasStatusText() ? ringRadius_ : ringNoTextRadius_;
    if (defaultAnimationType_ == KVTRProgressHUDAnimationType::Flat) {
        if (spinner_ && !ns::cast<KVTRIndefiniteAnimatedView>(spinner_)) {
            spinner_->removeFromSuperview();
            spinner_.reset();
        }
        if (!spinner_) spinner_ = std::make_shared<KVTRIndefiniteAnimatedView>(cg::Rect{});
        auto flat = ns::cast<KVTRIndefiniteAnimatedView>(spinner_);
        flat->setStrokeColor(foregroundColorForStyle());
        flat->setStrokeThickness(ringThickness_);
        flat->setRadius(radius);
    } else {
        if (spinner_ && !ns::cast<ui::ActivityIndicatorView>(spinner_)) {
            spinner_->removeFromSuperview();
            spinner_.reset();
        }
        if (!spinner_) spinner_ = ui::ActivityIndicatorView::make(ui::ActivityIndicatorViewStyle::WhiteLarge);
        ns::cast<ui::ActivityIndicatorView>(spinner_)->setColor(foregroundColorForStyle());
    }
    spinner_->sizeToFit();
    return spinner_;
}

const ns::Ref<KVTRProgressAnimatedView>& KVTRProgressHUD::ringView() {
    if (!ringView_) ringView_ = std::make_shared<KVTRProgressAnimatedView>(cg::Rect{});
    ringView_->setStrokeColor(foregroundColorForStyle());
    ringView_->setStrokeThickness(ringThickness_);
    ringView_->setRadius(hasStatusText() ? ringRadius_ : ringNoTextRadius_);
    return ringView_;
}

const ns::Ref<KVTRProgressAnimatedView>& KVTRProgressHUD::backgroundRingView() {
    if (!backgroundRingView_) {
        backgroundRingView_ = std::make_shared<KVTRProgressAnimatedView>(cg::Rect{});
        backgroundRingView_->setStrokeEnd(1.0);
    }
    backgroundRingView_->setStrokeColor(foregroundColorForStyle().withAlpha(TrackAlpha));
    backgroundRingView_->setStrokeThickness(ringThickness_);
    backgroundRingView_->setRadius(hasStatusText() ? ringRadius_ : ringNoTextRadius_);
    return backgroundRingView_;
}

// ---- Window hierarchy ----

void KVTRProgressHUD::updateViewHierarchy() {
    const auto& control = controlView();
    if (auto parent = control->superview()) {
        parent->bringSubviewToFront(control);
    } else if (containerView_) {
        containerView_->addSubview(control);
    } else if (auto window = frontWindow()) {
        window->addSubview(control);
    }
    if (!superview()) control->addSubview(ref<ui::View>());
}

ns::Ref<ui::Window> KVTRProgressHUD::frontWindow() const {
    const auto& app = ui::Application::sharedApplication();
    auto windows = app->windows();
    const auto& mainScreen = ui::Screen::mainScreen();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto& window = *it;
        bool onMainScreen = window->screen() == mainScreen;
        bool visible = !window->isHidden() && window->alpha() > 0;
        bool supportedLevel =
            window->windowLevel() >= ui::WindowLevelNormal && window->windowLevel() <= maxSupportedWindowLevel_;
        if (onMainScreen && visible && supportedLevel && window->isKeyWindow()) return window;
    }
    return nullptr;
}

// ---- The panel's size and layout ----

void KVTRProgressHUD::updateHUDFrame() {
    const auto& image = imageView();
    const auto& label = statusLabel();
    const auto& spinner = indefiniteAnimatedView();
    const bool imageUsed = image->image() && !image->isHidden();
    const bool progressUsed = image->isHidden();

    const bool hasText = hasStatusText();
    cg::Rect textRect;
    if (hasText) {
        cg::Rect measured =
            ui::boundingRectWithSize(label->text()->utf8(), {200, 300},
                                     ui::StringDrawingUsesLineFragmentOrigin | ui::StringDrawingUsesFontLeading |
                                         ui::StringDrawingTruncatesLastVisibleLine,
                                     {{ui::FontAttributeName, label->font()}});
        textRect = {0, 0, std::ceil(float(measured.width())), std::ceil(float(measured.height()))};
    }
    const double textWidth = textRect.width();
    const double textHeight = textRect.height();

    cg::Size content;
    if (imageUsed)
        content = image->frame().size;
    else if (progressUsed)
        content = spinner->frame().size;

    double width = Spacing + std::max(textWidth, content.width) + Spacing;
    double height = Spacing + textHeight + content.height + Spacing;
    if (hasText && (imageUsed || progressUsed)) height += TextGap;
    const auto& panel = hudView();
    panel->setBounds({0, 0, std::max(minimumSize_.width, width), std::max(minimumSize_.height, height)});

    const cg::Rect bounds = panel->bounds();
    ui::performWithoutActions([&] {
        double contentCenterY =
            hasText ? content.height / 2 +
                          std::max(Spacing, (minimumSize_.height - content.height - TextGap - textHeight) / 2)
                    : bounds.midY();
        cg::Point contentCenter{bounds.midX(), contentCenterY};
        spinner->setCenter(contentCenter);
        image->setCenter(contentCenter);
        if (progress_ != -1) {
            ringView()->setCenter(contentCenter);
            backgroundRingView()->setCenter(contentCenter);
        }
        double textCenterY = bounds.midY();
        if (imageUsed)
            textCenterY = image->frame().maxY() + TextGap + textHeight / 2;
        else if (progressUsed)
            textCenterY = spinner->frame().maxY() + TextGap + textHeight / 2;
        label->setFrame(textRect);
        label->setCenter({bounds.midX(), textCenterY});
    });
}

// ---- Placement ----

void KVTRProgressHUD::positionHUD(const ns::Ref<ns::Notification>& notification) {
    setFrame(delegateWindowBounds());
    updateMotionEffectForOrientation(ui::Application::sharedApplication()->statusBarOrientation());

    const cg::Rect screen = ui::Screen::mainScreen()->bounds();
    const cg::Point target{screen.width() / 2, screen.height() / 2};
    const double angle = 0;
    if (notification) {
        double duration = 0;
        if (const auto& info = notification->userInfo()) {
            duration = ui::doubleValue(info->objectForKey(ui::KeyboardAnimationDurationUserInfoKey));
        }
        ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
        ui::View::animate(duration, 0,
                          ui::ViewAnimationOptionAllowUserInteraction | ui::ViewAnimationOptionBeginFromCurrentState,
                          [weak, target, angle] {
                              if (auto self = weak.lock()) {
                                  self->moveToPoint(target, angle);
                                  self->hudView()->setNeedsDisplay();
                              }
                          });
    } else {
        moveToPoint(target, angle);
    }
}

void KVTRProgressHUD::moveToPoint(cg::Point point, double angle) {
    const auto& panel = hudView();
    panel->setTransform(cg::AffineTransform::makeRotation(angle));
    cg::Point base = containerView_ ? containerView_->center() : point;
    panel->setCenter({base.x + offsetFromCenter_.horizontal, base.y + offsetFromCenter_.vertical});
}

void KVTRProgressHUD::updateMotionEffectForOrientation(ui::InterfaceOrientation orientation) {
    const int64_t horizontal = int64_t(ui::InterpolatingMotionEffectType::TiltAlongHorizontalAxis);
    const int64_t vertical = int64_t(ui::InterpolatingMotionEffectType::TiltAlongVerticalAxis);
    if (ui::isPortrait(orientation)) {
        updateMotionEffectForXMotionEffectType(horizontal, vertical);
    } else {
        updateMotionEffectForXMotionEffectType(vertical, horizontal);
    }
}

void KVTRProgressHUD::updateMotionEffectForXMotionEffectType(int64_t xType, int64_t yType) {
    auto tilt = [](const char* keyPath, int64_t type) {
        auto effect = std::make_shared<ui::InterpolatingMotionEffect>(keyPath, ui::InterpolatingMotionEffectType(type));
        effect->setMinimumRelativeValue(ns::Number::withDouble(-10));
        effect->setMaximumRelativeValue(ns::Number::withDouble(10));
        return effect;
    };
    auto group = std::make_shared<ui::MotionEffectGroup>();
    group->setMotionEffects({tilt("center.x", xType), tilt("center.y", yType)});
    const auto& panel = hudView();
    panel->setMotionEffects({});
    panel->addMotionEffect(group);
}

void KVTRProgressHUD::registerNotifications() {
    auto center = ns::NotificationCenter::defaultCenter();
    ns::Weak<KVTRProgressHUD> weak = ref<KVTRProgressHUD>();
    for (const char* name : {ui::ApplicationDidChangeStatusBarOrientationNotification, ui::KeyboardWillHideNotification,
                             ui::KeyboardDidHideNotification, ui::KeyboardWillShowNotification,
                             ui::KeyboardDidShowNotification, ui::ApplicationDidBecomeActiveNotification}) {
        center->addObserver(this, name, nullptr, [weak](const ns::Ref<ns::Notification>& notification) {
            if (auto self = weak.lock()) self->positionHUD(notification);
        });
    }
}

double KVTRProgressHUD::visibleKeyboardHeight() {
    ns::Ref<ui::Window> keyboardWindow;
    for (const auto& window : ui::Application::sharedApplication()->windows()) {
        if (window->className() != "UIWindow") {
            keyboardWindow = window;
            break;
        }
    }
    // A hidden keyboard window shows no keyboard, wherever its views were
    // left.
    if (!keyboardWindow || keyboardWindow->isHidden()) return 0;
    for (const auto& candidate : keyboardWindow->subviews()) {
        const std::string& name = candidate->className();
        if (!startsWith(name, "UI")) continue;
        if (endsWith(name, "PeripheralHostView") || endsWith(name, "Keyboard")) return candidate->bounds().height();
        if (!endsWith(name, "InputSetContainerView")) continue;
        for (const auto& host : candidate->subviews()) {
            const std::string& hostName = host->className();
            if (!startsWith(hostName, "UI") || !endsWith(hostName, "InputSetHostView")) continue;
            cg::Rect converted = candidate->convertRectToView(host->frame(), this);
            cg::Rect overlap = converted.intersection(bounds());
            if (!overlap.isNull()) return overlap.height();
        }
    }
    return 0;
}

// ---- Styles ----

cg::Color KVTRProgressHUD::foregroundColorForStyle() const {
    switch (defaultStyle_) {
        case KVTRProgressHUDStyle::Light:
            return cg::Color::black();
        case KVTRProgressHUDStyle::Dark:
            return cg::Color::white();
        default:
            return foregroundColor_;
    }
}

cg::Color KVTRProgressHUD::backgroundColorForStyle() const {
    switch (defaultStyle_) {
        case KVTRProgressHUDStyle::Light:
            return cg::Color::white();
        case KVTRProgressHUDStyle::Dark:
            return cg::Color::black();
        default:
            return backgroundColor_;
    }
}

void KVTRProgressHUD::fadeInEffects() {
    const auto& panel = hudView();
    if (defaultStyle_ != KVTRProgressHUDStyle::Custom) {
        panel->setEffect(blurFor(defaultStyle_));
        panel->setBackgroundColor(backgroundColorForStyle().withAlpha(PanelAlpha));
    } else {
        panel->setBackgroundColor(backgroundColor_);
    }
    backgroundView()->setAlpha(1);
    imageView()->setAlpha(1);
    statusLabel()->setAlpha(1);
    indefiniteAnimatedView()->setAlpha(1);
    ringView()->setAlpha(1);
    backgroundRingView()->setAlpha(1);
}

void KVTRProgressHUD::fadeOutEffects() {
    const auto& panel = hudView();
    if (defaultStyle_ != KVTRProgressHUDStyle::Custom) panel->setEffect(nullptr);
    panel->setBackgroundColor(cg::Color::clear());
    backgroundView()->setAlpha(0);
    imageView()->setAlpha(0);
    statusLabel()->setAlpha(0);
    indefiniteAnimatedView()->setAlpha(0);
    ringView()->setAlpha(0);
    backgroundRingView()->setAlpha(0);
}

void KVTRProgressHUD::cancelRingLayerAnimation() {
    ui::performWithoutActions([&] {
        hudView()->layer()->removeAllAnimations();
        ringView()->setStrokeEnd(0);
    });
    ringView()->removeFromSuperview();
    backgroundRingView()->removeFromSuperview();
}

void KVTRProgressHUD::cancelIndefiniteAnimatedViewAnimation() {
    if (auto spinner = ns::cast<ui::ActivityIndicatorView>(spinner_)) spinner->stopAnimating();
    if (spinner_) spinner_->removeFromSuperview();
}
