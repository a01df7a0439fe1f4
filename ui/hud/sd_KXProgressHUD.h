#pragma once
// A HUD that lies over a host view: a centred, rounded bezel with an
// activity or progress indicator, an optional bold label, a multi-line
// details label and a button, over a background view that covers the host.
// Several may lie on one host; each belongs to the view it was added to.
//
// Showing and hiding follow a small state machine with three one-shot
// timers on the current run loop (common modes): a grace time that delays
// the show (a hide before it ends shows nothing), a minimum show time that
// holds a hide back, and a delayed hide. A progress object, while shown, is
// read once a frame by a display link.
//
// The bezel is placed by constraints of the platform's form (kept in
// bezelConstraints and paddingConstraints); since the layout engine does not
// size a panel around a stack, the HUD reads those constraints' constants and
// places the bezel and its stack itself when it lays out.
//
// Headless, the texts shown (label | details | [button]) are logged as
// "screen: hud: ..." when the HUD shows and when they change while it does
// (through the text setters at once, on the labels with the HUD's next
// layout).
//
// Main thread only, except the blocks of the whileExecuting operations.

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/dispatch/Queue.h"
#include "platform/foundation/Progress.h"
#include "platform/uikit/DisplayLink.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/Label.h"
#include "platform/uikit/LayoutConstraint.h"
#include "platform/uikit/View.h"
#include "ui/hud/sd_KXBackgroundView.h"
#include "ui/hud/sd_KXProgressHUDRoundedButton.h"

namespace dispatch {
class RunLoopTimer;
}

class sd_KXProgressHUD;

enum class sd_KXProgressHUDMode : int64_t {
    Indeterminate = 0,             // a large activity indicator
    Determinate = 1,               // a round progress view
    DeterminateHorizontalBar = 2,  // a bar progress view
    AnnularDeterminate = 3,        // an annular round progress view
    CustomView = 4,                // customView
    Text = 5,                      // no indicator
};

enum class sd_KXProgressHUDAnimation : int64_t {
    Fade = 0,
    Zoom = 1,     // in as ZoomIn, out as ZoomOut
    ZoomOut = 2,  // in from 1.5 down to 1; out down to 0.5
    ZoomIn = 3,   // in from 0.5 up to 1; out up to 1.5
};

class sd_KXProgressHUDDelegate {
public:
    virtual ~sd_KXProgressHUDDelegate() = default;
    // After a hide has completed.
    virtual void hudWasHidden(sd_KXProgressHUD& hud) { (void)hud; }
};

class sd_KXProgressHUD : public ui::View {
    RT_DECLARE_CLASS(sd_KXProgressHUD)
public:
    using Block = std::function<void()>;

    sd_KXProgressHUD();
    explicit sd_KXProgressHUD(const cg::Rect& frame);
    ~sd_KXProgressHUD() override;

    // ---- Class operations (`cls`: the class searched for and made) ----
    // A new HUD over the whole view, topmost among its subviews, shown;
    // it leaves the view when hidden.
    static ns::Ref<sd_KXProgressHUD> showHUDAddedTo(const ns::Ref<ui::View>& view, bool animated,
                                                    const rt::Class* cls = staticClass());
    // Hides the topmost HUD still up (and takes it off the view); false when
    // there is none.
    static bool hideHUDForView(const ns::Ref<ui::View>& view, bool animated, const rt::Class* cls = staticClass());
    // The topmost subview of the class that is not hiding, or nil.
    static ns::Ref<sd_KXProgressHUD> HUDForView(const ns::Ref<ui::View>& view, const rt::Class* cls = staticClass());
    // A HUD of the view's bounds, not added to it.
    static ns::Ref<sd_KXProgressHUD> initWithView(const ns::Ref<ui::View>& view);

    // ---- Showing and hiding ----
    void showAnimated(bool animated);
    void hideAnimated(bool animated);
    void hideAnimated(bool animated, double delay);

    // ---- Properties ----
    ns::Ref<sd_KXProgressHUDDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const ns::Ref<sd_KXProgressHUDDelegate>& delegate) { delegate_ = delegate; }
    Block completionBlock() const;
    void setCompletionBlock(Block block);
    double graceTime() const { return graceTime_; }
    void setGraceTime(double seconds) { graceTime_ = seconds; }
    double minShowTime() const { return minShowTime_; }
    void setMinShowTime(double seconds) { minShowTime_ = seconds; }
    bool removeFromSuperViewOnHide() const { return removeFromSuperViewOnHide_; }
    void setRemoveFromSuperViewOnHide(bool on) { removeFromSuperViewOnHide_ = on; }
    sd_KXProgressHUDMode mode() const { return mode_; }
    void setMode(sd_KXProgressHUDMode mode);
    const std::optional<cg::Color>& contentColor() const { return contentColor_; }
    void setContentColor(std::optional<cg::Color> color);
    sd_KXProgressHUDAnimation animationType() const { return animationType_; }
    void setAnimationType(sd_KXProgressHUDAnimation type) { animationType_ = type; }
    cg::Point offset() const { return offset_; }
    void setOffset(cg::Point offset);
    double margin() const { return margin_; }
    void setMargin(double margin);
    cg::Size minSize() const { return minSize_; }
    void setMinSize(cg::Size size);
    bool isSquare() const { return square_; }
    void setSquare(bool square);
    bool areDefaultMotionEffectsEnabled() const { return defaultMotionEffectsEnabled_; }
    void setDefaultMotionEffectsEnabled(bool enabled);
    float progress() const { return progress_; }
    void setProgress(float progress);
    const ns::Ref<ns::Progress>& progressObject() const { return progressObject_; }
    void setProgressObject(const ns::Ref<ns::Progress>& progress);
    const ns::Ref<sd_KXBackgroundView>& bezelView() const { return bezelView_; }
    const ns::Ref<sd_KXBackgroundView>& backgroundView() const { return backgroundView_; }
    const ns::Ref<ui::View>& customView() const { return customView_; }
    void setCustomView(const ns::Ref<ui::View>& view);
    const ns::Ref<ui::Label>& label() const { return label_; }
    const ns::Ref<ui::Label>& detailsLabel() const { return detailsLabel_; }
    const ns::Ref<sd_KXProgressHUDRoundedButton>& button() const { return button_; }
    // The alpha the bezel takes when shown.
    double opacity() const { return opacity_; }
    void setOpacity(double opacity) { opacity_ = opacity; }

    // ---- State, for whoever watches the HUD ----
    bool hasFinished() const { return finished_; }
    const ns::Ref<ui::View>& indicator() const { return indicator_; }
    // When the HUD became visible (on the clock); nothing while not shown.
    std::optional<double> showStarted() const { return showStarted_; }
    const std::vector<ns::Ref<ui::LayoutConstraint>>& bezelConstraints() const { return bezelConstraints_; }
    const std::vector<ns::Ref<ui::LayoutConstraint>>& paddingConstraints() const { return paddingConstraints_; }
    const ns::Ref<ui::View>& topSpacer() const { return topSpacer_; }
    const ns::Ref<ui::View>& bottomSpacer() const { return bottomSpacer_; }
    ns::Ref<ui::DisplayLink> progressObjectDisplayLink() const { return displayLink_; }

    // ---- The older interface ----
    // Every HUD on the view (sd_KXProgressHUD and its subclasses), hiding
    // ones included; returns how many.
    static uint64_t hideAllHUDsForView(const ns::Ref<ui::View>& view, bool animated);
    // Every subview of the class, in subview order, hiding ones included.
    static std::vector<ns::Ref<sd_KXProgressHUD>> allHUDsForView(const ns::Ref<ui::View>& view,
                                                                 const rt::Class* cls = staticClass());
    static ns::Ref<sd_KXProgressHUD> initWithWindow(const ns::Ref<ui::View>& window) { return initWithView(window); }
    void show(bool animated) { showAnimated(animated); }
    void hide(bool animated) { hideAnimated(animated); }
    void hide(bool animated, double delay) { hideAnimated(animated, delay); }
    // Sends the method with the object to the target on the global queue of
    // default priority while the HUD shows.
    template <class T>
    void showWhileExecuting(void (T::*method)(const ns::Id&), const ns::Ref<T>& target, const ns::Id& object,
                            bool animated) {
        showAnimatedWhileExecutingBlock(animated, [method, target, object] { (target.get()->*method)(object); });
    }
    // Shows now, runs the block on the queue (the global queue of default
    // priority when nil), then hides on the main queue and runs the
    // completion as the completion block.
    void showAnimatedWhileExecutingBlock(bool animated, Block block, Block completion = {});
    void showAnimatedWhileExecutingBlock(bool animated, Block block, const dispatch::QueueRef& queue,
                                         Block completion = {});
    bool taskInProgress() const { return taskInProgress_.load(); }
    ns::Ref<ns::String> labelText() const { return label_->text(); }
    void setLabelText(const ns::Ref<ns::String>& text) {
        label_->setText(text);
        if (showStarted_) logShownText();
    }
    ns::Ref<ui::Font> labelFont() const { return label_->font(); }
    void setLabelFont(const ns::Ref<ui::Font>& font) { label_->setFont(font); }
    cg::Color labelColor() const { return label_->textColor(); }
    void setLabelColor(const cg::Color& color) { label_->setTextColor(color); }
    ns::Ref<ns::String> detailsLabelText() const { return detailsLabel_->text(); }
    void setDetailsLabelText(const ns::Ref<ns::String>& text) {
        detailsLabel_->setText(text);
        if (showStarted_) logShownText();
    }
    ns::Ref<ui::Font> detailsLabelFont() const { return detailsLabel_->font(); }
    void setDetailsLabelFont(const ns::Ref<ui::Font>& font) { detailsLabel_->setFont(font); }
    cg::Color detailsLabelColor() const { return detailsLabel_->textColor(); }
    void setDetailsLabelColor(const cg::Color& color) { detailsLabel_->setTextColor(color); }
    // The bezel's colour.
    cg::Color color() const { return bezelView_->color(); }
    void setColor(const cg::Color& color) { bezelView_->setColor(color); }
    double xOffset() const { return offset_.x; }
    void setXOffset(double x) { setOffset({x, offset_.y}); }
    double yOffset() const { return offset_.y; }
    void setYOffset(double y) { setOffset({offset_.x, y}); }
    double cornerRadius() const { return bezelView_->layer()->cornerRadius(); }
    void setCornerRadius(double radius) { bezelView_->layer()->setCornerRadius(radius); }
    // YES: the background becomes a solid black at alpha 0.2; NO: clear.
    bool disd_KXackground() const;
    void setDisd_KXackground(bool dim);
    // The bezel's frame size.
    cg::Size size() const { return bezelView_->frame().size; }
    const std::optional<cg::Color>& activityIndicatorColor() const { return activityIndicatorColor_; }
    void setActivityIndicatorColor(std::optional<cg::Color> color);

    // ---- View ----
    void didMoveToSuperview() override;
    void updateConstraints() override;
    void layoutSubviews() override;
    // Sizes and places the bezel and its stack from the installed
    // constraints; the bezel calls it from its own layout pass too.
    void layoutBezel();

private:
    // The constraints layoutBezel reads, kept when they are built.
    struct Placement {
        ns::Ref<ui::LayoutConstraint> centerX, centerY;
        ns::Ref<ui::LayoutConstraint> marginX, marginY;  // bezel inside the HUD
        ns::Ref<ui::LayoutConstraint> minWidth, minHeight, square;
        ns::Ref<ui::LayoutConstraint> topSpacerHeight, bottomSpacerHeight;
        std::vector<ns::Ref<ui::View>> stack;
        std::vector<ns::Ref<ui::LayoutConstraint>> sideMargins;  // one per stacked view
    };

    void commonInit();
    void setupViews();
    void updateIndicators();
    void updateViewsForColor(const std::optional<cg::Color>& color);
    void updateBezelMotionEffects();
    void updatePaddingConstraints();
    static void applyPriority(float priority, const std::vector<ns::Ref<ui::LayoutConstraint>>& constraints);
    void showUsingAnimation(bool animated);
    void logShownText();
    void hideUsingAnimation(bool animated);
    void animateIn(bool animatingIn, sd_KXProgressHUDAnimation type, ui::View::Completion completion);
    void done();
    void handleGraceTimer();
    void handleMinShowTimer();
    void handleHideTimer(bool animated);
    void setNSProgressDisplayLinkEnabled(bool enabled);
    void setProgressObjectDisplayLink(const ns::Ref<ui::DisplayLink>& link);
    void updateProgressFromProgressObject();
    void registerForNotifications();
    void unregisterFromNotifications();
    void statusBarOrientationDidChange();
    void updateForCurrentOrientationAnimated(bool animated);
    // A one-shot timer on the current run loop in the common modes.
    std::shared_ptr<dispatch::RunLoopTimer> scheduleTimer(double seconds, std::function<void()> fire);
    void cleanUp();

    ns::Weak<sd_KXProgressHUDDelegate> delegate_;
    mutable std::mutex completionLock_;
    Block completionBlock_;
    double graceTime_ = 0;
    double minShowTime_ = 0;
    bool removeFromSuperViewOnHide_ = false;
    sd_KXProgressHUDMode mode_ = sd_KXProgressHUDMode::Indeterminate;
    std::optional<cg::Color> contentColor_;
    sd_KXProgressHUDAnimation animationType_ = sd_KXProgressHUDAnimation::Fade;
    cg::Point offset_;
    double margin_ = 20;
    cg::Size minSize_;
    bool square_ = false;
    bool defaultMotionEffectsEnabled_ = true;
    float progress_ = 0;
    ns::Ref<ns::Progress> progressObject_;
    ns::Ref<sd_KXBackgroundView> bezelView_;
    ns::Ref<sd_KXBackgroundView> backgroundView_;
    ns::Ref<ui::View> customView_;
    ns::Ref<ui::Label> label_;
    ns::Ref<ui::Label> detailsLabel_;
    ns::Ref<sd_KXProgressHUDRoundedButton> button_;
    double opacity_ = 1;

    bool useAnimation_ = false;
    bool finished_ = false;
    ns::Ref<ui::View> indicator_;
    std::optional<double> showStarted_;
    // The texts last logged as shown; empty while hidden.
    std::string loggedText_;
    std::vector<ns::Ref<ui::LayoutConstraint>> bezelConstraints_;
    std::vector<ns::Ref<ui::LayoutConstraint>> paddingConstraints_;
    ns::Ref<ui::View> topSpacer_;
    ns::Ref<ui::View> bottomSpacer_;
    // The run loop keeps scheduled timers; the HUD only watches them.
    std::weak_ptr<dispatch::RunLoopTimer> graceTimer_;
    std::weak_ptr<dispatch::RunLoopTimer> minShowTimer_;
    std::weak_ptr<dispatch::RunLoopTimer> hideDelayTimer_;
    // Display links here are kept by their owner, not by the run loop.
    ns::Ref<ui::DisplayLink> displayLink_;
    std::atomic<bool> taskInProgress_{false};
    std::optional<cg::Color> activityIndicatorColor_;

    std::optional<Placement> placement_;
    bool placingBezel_ = false;
};
