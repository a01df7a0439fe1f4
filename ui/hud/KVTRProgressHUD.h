#pragma once
// The aggregation SDK's status overlay: one shared view over the whole
// screen showing a short status, optionally with an image, a spinner or a
// progress ring, that takes itself away after a time that grows with the
// text. Callers never hold the view: everything goes through the class
// methods.
//
// Shows and dismisses are operations on the main operation queue, run one
// at a time in the order they were asked for. A dismiss finishes only once
// its fade-out is over, so a show asked for right after it (an error after
// a dismiss) starts on a hidden HUD and stays up for its whole time. Grace
// and fade-out timers run on the main run loop in the common modes.
//
// Headless, each show with a text and each change of the text shown logs
// "screen: hud: <text>".
//
// The component views, their layout and placement, the styles and the mask
// types are in KVTRProgressHUDViews.cpp.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/String.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/FeedbackGenerator.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Image.h"
#include "platform/uikit/ImageView.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/ScreenModel.h"
#include "platform/uikit/View.h"
#include "platform/uikit/VisualEffectView.h"

namespace dispatch {
class RunLoopTimer;
}

class KVTRProgressAnimatedView;
class KVTRRadialGradientLayer;

inline constexpr const char* KVTRProgressHUDDidReceiveTouchEventNotification =
    "KVTRProgressHUDDidReceiveTouchEventNotification";
inline constexpr const char* KVTRProgressHUDDidTouchDownInsideNotification =
    "KVTRProgressHUDDidTouchDownInsideNotification";
inline constexpr const char* KVTRProgressHUDWillDisappearNotification = "KVTRProgressHUDWillDisappearNotification";
inline constexpr const char* KVTRProgressHUDDidDisappearNotification = "KVTRProgressHUDDidDisappearNotification";
inline constexpr const char* KVTRProgressHUDWillAppearNotification = "KVTRProgressHUDWillAppearNotification";
inline constexpr const char* KVTRProgressHUDDidAppearNotification = "KVTRProgressHUDDidAppearNotification";
inline constexpr const char* KVTRProgressHUDStatusUserInfoKey = "KVTRProgressHUDStatusUserInfoKey";

enum class KVTRProgressHUDStyle : int64_t { Light = 0, Dark = 1, Custom = 2 };

enum class KVTRProgressHUDMaskType : uint64_t {
    None = 1,      // touches pass through to the views below
    Clear = 2,     // touches are taken, nothing dims
    Black = 3,     // dims with 40 % black
    Gradient = 4,  // darkens around a clear centre
    Custom = 5,    // dims with backgroundLayerColor
};

enum class KVTRProgressHUDAnimationType : uint64_t { Flat = 0, Native = 1 };

// The horizontal and vertical shift of the panel from the screen's centre.
struct KVTRProgressHUDOffset {
    double horizontal = 0;
    double vertical = 0;
    friend bool operator==(const KVTRProgressHUDOffset&, const KVTRProgressHUDOffset&) = default;
};

class KVTRProgressHUD : public ui::View {
    RT_DECLARE_CLASS(KVTRProgressHUD)
public:
    using Completion = std::function<void()>;
    using Status = ns::Ref<ns::String>;
    using MaskType = KVTRProgressHUDMaskType;

    explicit KVTRProgressHUD(const cg::Rect& frame);
    ~KVTRProgressHUD() override;

    // ---- Class interface ----
    // Made on first use with the bounds of the application delegate's window.
    static ns::Ref<KVTRProgressHUD> sharedView();

    static void setDefaultStyle(KVTRProgressHUDStyle style);
    static void setDefaultMaskType(MaskType maskType);
    static void setDefaultAnimationType(KVTRProgressHUDAnimationType type);
    static void setContainerView(const ns::Ref<ui::View>& containerView);
    static void setMinimumSize(cg::Size minimumSize);
    static void setRingThickness(double thickness);
    static void setRingRadius(double radius);
    static void setRingNoTextRadius(double radius);
    static void setCornerRadius(double cornerRadius);
    static void setBorderColor(const cg::Color& color);
    static void setBorderWidth(double width);
    static void setFont(const ns::Ref<ui::Font>& font);
    // Both switch the style to custom.
    static void setForegroundColor(const cg::Color& color);
    static void setBackgroundColor(const cg::Color& color);
    static void setBackgroundLayerColor(const cg::Color& color);
    static void setImageViewSize(cg::Size size);
    static void setShouldTintImages(bool shouldTintImages);
    static void setInfoImage(const ns::Ref<ui::Image>& image);
    static void setSuccessImage(const ns::Ref<ui::Image>& image);
    static void setErrorImage(const ns::Ref<ui::Image>& image);
    static void setGraceTimeInterval(double interval);
    static void setMinimumDismissTimeInterval(double interval);
    static void setMaximumDismissTimeInterval(double interval);
    static void setFadeInAnimationDuration(double duration);
    static void setFadeOutAnimationDuration(double duration);
    static void setMaxSupportedWindowLevel(double windowLevel);
    static void setHapticsEnabled(bool hapticsEnabled);
    static void setOffsetFromCenter(KVTRProgressHUDOffset offset);
    static void resetOffsetFromCenter();

    // Replaces the text at once, on the caller's thread.
    static void setStatus(const Status& status);

    // The variants taking a mask type show with that mask and leave the
    // default as it is; the others take the default in force when their
    // show runs.
    //
    // Without a display time: up until dismissed.
    static void show();
    static void showWithMaskType(MaskType maskType);
    static void showWithStatus(const Status& status);
    static void showWithStatus(const Status& status, MaskType maskType);
    // A ring at the progress (0...1); a negative progress shows the spinner.
    static void showProgress(float progress);
    static void showProgress(float progress, MaskType maskType);
    static void showProgress(float progress, const Status& status);
    static void showProgress(float progress, const Status& status, MaskType maskType);
    // With a display time from the text.
    static void showImage(const ns::Ref<ui::Image>& image, const Status& status);
    static void showImage(const ns::Ref<ui::Image>& image, const Status& status, MaskType maskType);
    static void showInfoWithStatus(const Status& status);
    static void showInfoWithStatus(const Status& status, MaskType maskType);
    static void showSuccessWithStatus(const Status& status);
    static void showSuccessWithStatus(const Status& status, MaskType maskType);
    // Callable from any thread: on the main queue, dismisses what is shown
    // and shows the error.
    static void showErrorWithStatus(const Status& status);
    static void showErrorWithStatus(const Status& status, MaskType maskType);

    // Counts down the spinner shows; dismisses at zero.
    static void popActivity();
    static void dismiss();
    static void dismissWithCompletion(Completion completion);
    static void dismissWithDelay(double delay);
    static void dismissWithDelay(double delay, Completion completion);

    // The HUD is up (or still fading away).
    static bool iKVTRisible();
    // min(max(UTF-16 length x 0.06 + 0.5, minimum), maximum) seconds.
    static double displayDurationForString(const Status& string);

    // ---- Settings (set through the class interface) ----
    KVTRProgressHUDStyle defaultStyle() const { return defaultStyle_; }
    MaskType defaultMaskType() const { return defaultMaskType_; }
    KVTRProgressHUDAnimationType defaultAnimationType() const { return defaultAnimationType_; }
    const ns::Ref<ui::View>& containerView() const { return containerView_; }
    cg::Size minimumSize() const { return minimumSize_; }
    double ringThickness() const { return ringThickness_; }
    double ringRadius() const { return ringRadius_; }
    double ringNoTextRadius() const { return ringNoTextRadius_; }
    double cornerRadius() const { return cornerRadius_; }
    const ns::Ref<ui::Font>& font() const { return font_; }
    // The panel colour of the custom style (the view's own stays clear).
    const cg::Color& hudBackgroundColor() const { return backgroundColor_; }
    const cg::Color& foregroundColor() const { return foregroundColor_; }
    const cg::Color& backgroundLayerColor() const { return backgroundLayerColor_; }
    cg::Size imageViewSize() const { return imageViewSize_; }
    bool shouldTintImages() const { return shouldTintImages_; }
    const ns::Ref<ui::Image>& infoImage() const { return infoImage_; }
    const ns::Ref<ui::Image>& successImage() const { return successImage_; }
    const ns::Ref<ui::Image>& errorImage() const { return errorImage_; }
    double graceTimeInterval() const { return graceTimeInterval_; }
    double minimumDismissTimeInterval() const { return minimumDismissTimeInterval_; }
    double maximumDismissTimeInterval() const { return maximumDismissTimeInterval_; }
    KVTRProgressHUDOffset offsetFromCenter() const { return offsetFromCenter_; }
    double fadeInAnimationDuration() const { return fadeInAnimationDuration_; }
    double fadeOutAnimationDuration() const { return fadeOutAnimationDuration_; }
    double maxSupportedWindowLevel() const { return maxSupportedWindowLevel_; }
    bool hapticsEnabled() const { return hapticsEnabled_; }

    // ---- Running state ----
    // -1 while no ring is shown.
    double progress() const { return progress_; }
    uint64_t activityCount() const { return activityCount_; }
    // The mask type of the show on screen.
    MaskType activeMaskType() const { return activeMaskType_; }
    // Made on first use, and only while haptics are enabled.
    ns::Ref<ui::NotificationFeedbackGenerator> hapticGenerator();

    // ---- Component views (each access reapplies the settings) ----
    const ns::Ref<ui::Control>& controlView();
    const ns::Ref<ui::View>& backgroundView();
    // Made on the first gradient mask.
    const ns::Ref<KVTRRadialGradientLayer>& backgroundRadialGradientLayer() const { return gradientLayer_; }
    const ns::Ref<ui::VisualEffectView>& hudView();
    const ns::Ref<ui::Label>& statusLabel();
    const ns::Ref<ui::ImageView>& imageView();
    // A flat ring spinner or the platform's activity indicator, by
    // defaultAnimationType.
    const ns::Ref<ui::View>& indefiniteAnimatedView();
    const ns::Ref<KVTRProgressAnimatedView>& ringView();
    const ns::Ref<KVTRProgressAnimatedView>& backgroundRingView();

    // ---- Placement ----
    // The key window on the main screen, shown, between the normal level
    // and maxSupportedWindowLevel, searched front to back.
    ns::Ref<ui::Window> frontWindow() const;
    double visibleKeyboardHeight();
    void updateViewHierarchy();
    void updateHUDFrame();
    void positionHUD(const ns::Ref<ns::Notification>& notification);
    void moveToPoint(cg::Point point, double angle);
    cg::Color foregroundColorForStyle() const;
    cg::Color backgroundColorForStyle() const;

    // The full-screen control's touch-down.
    void controlViewDidReceiveTouchEvent(ui::Control& control, ui::Event* event);

private:
    void showProgressOperation(float progress, const Status& status, std::optional<MaskType> maskType);
    void showImageOperation(const ns::Ref<ui::Image>& image, const Status& status, double duration,
                            std::optional<MaskType> maskType);
    void dismissOperation(double delay, Completion completion);
    void fadeIn(std::optional<double> displayTime);
    void fadeInEffects();
    void fadeOutEffects();
    void cancelRingLayerAnimation();
    void cancelIndefiniteAnimatedViewAnimation();
    void registerNotifications();
    void updateMotionEffectForOrientation(ui::InterfaceOrientation orientation);
    void updateMotionEffectForXMotionEffectType(int64_t xType, int64_t yType);
    ns::Ref<ns::Dictionary> notificationUserInfo();
    void post(const char* name, bool withObject);
    void setGraceTimer(std::shared_ptr<dispatch::RunLoopTimer> timer);
    void setFadeOutTimer(std::shared_ptr<dispatch::RunLoopTimer> timer);
    void completeDismiss(const Completion& completion);
    bool hasStatusText();
    void playHaptic(ui::NotificationFeedbackType type);
    // Appearance-style settings keep their defaults while the instance
    // initialises.
    template <class T>
    void storeSetting(T& field, T value) {
        if (!initializing_) field = std::move(value);
    }
    static void discardSharedViewForTesting();

    // Settings.
    KVTRProgressHUDStyle defaultStyle_ = KVTRProgressHUDStyle::Light;
    MaskType defaultMaskType_ = MaskType::None;
    KVTRProgressHUDAnimationType defaultAnimationType_ = KVTRProgressHUDAnimationType::Flat;
    ns::Ref<ui::View> containerView_;
    cg::Size minimumSize_;
    double ringThickness_ = 0;
    double ringRadius_ = 0;
    double ringNoTextRadius_ = 0;
    double cornerRadius_ = 0;
    ns::Ref<ui::Font> font_;
    cg::Color backgroundColor_;
    cg::Color foregroundColor_;
    cg::Color backgroundLayerColor_;
    cg::Size imageViewSize_;
    bool shouldTintImages_ = false;
    ns::Ref<ui::Image> infoImage_;
    ns::Ref<ui::Image> successImage_;
    ns::Ref<ui::Image> errorImage_;
    double graceTimeInterval_ = 0;
    double minimumDismissTimeInterval_ = 0;
    double maximumDismissTimeInterval_ = 0;
    KVTRProgressHUDOffset offsetFromCenter_;
    double fadeInAnimationDuration_ = 0;
    double fadeOutAnimationDuration_ = 0;
    double maxSupportedWindowLevel_ = 0;
    bool hapticsEnabled_ = false;

    // Running state.
    double progress_ = -1;
    uint64_t activityCount_ = 0;
    MaskType activeMaskType_ = MaskType::None;
    std::shared_ptr<dispatch::RunLoopTimer> graceTimer_;
    std::shared_ptr<dispatch::RunLoopTimer> fadeOutTimer_;
    ns::Ref<ui::NotificationFeedbackGenerator> hapticGenerator_;
    // Set while the instance initialises: the setters of the appearance
    // settings leave the defaults alone then.
    bool initializing_ = false;
    // The text last logged as shown; empty once dismissed.
    std::string loggedText_;

    ns::Ref<ui::Control> controlView_;
    ns::Ref<ui::View> backgroundView_;
    ns::Ref<KVTRRadialGradientLayer> gradientLayer_;
    ns::Ref<ui::VisualEffectView> hudView_;
    ns::Ref<ui::Label> statusLabel_;
    ns::Ref<ui::ImageView> imageView_;
    ns::Ref<ui::View> spinner_;
    ns::Ref<KVTRProgressAnimatedView> ringView_;
    ns::Ref<KVTRProgressAnimatedView> backgroundRingView_;
};
