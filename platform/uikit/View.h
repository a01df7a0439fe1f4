#pragma once
// Views: a tree of rectangles backed by layers, with the platform's geometry,
// hit testing, layout and drawing cycle, hooks and animations.
//
// Geometry lives in the view's layer: frame, bounds, centre (the layer's
// position), transform, alpha (opacity), hidden, clipping and background
// colour read and write the layer. A change of the bounds size resizes the
// subviews by their autoresizing masks and asks for layout.
//
// Layout and display run in passes on the main run loop (UpdateCycle.h).
// drawRect runs only for views in a window: every view starts out needing
// display, and setNeedsDisplay asks again.
//
// Animations (animate, the spring variant, begin/commitAnimations) apply the
// new values at once; each changed layer property gets a layer animation,
// and the completion runs on the clock when the longest ends (finished) or
// once all have stopped after some were removed (not finished). Without
// BeginFromCurrentState a new animation of a property runs beside the one in
// flight instead of replacing it. What each block animated is kept by the
// AnimationRecorder.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/AffineTransform.h"
#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/Layer.h"
#include "platform/uikit/Responder.h"

namespace ui {

class GestureRecognizer;
class LayoutAnchor;
class LayoutConstraint;
class LayoutDimension;
class LayoutGuide;
class LayoutXAxisAnchor;
class LayoutYAxisAnchor;
class MotionEffect;
class ViewControllerBase;
class Window;

enum class ViewContentMode {
    ScaleToFill = 0,
    ScaleAspectFit = 1,
    ScaleAspectFill = 2,
    Redraw = 3,
    Center = 4,
    Top = 5,
    Bottom = 6,
    Left = 7,
    Right = 8,
    TopLeft = 9,
    TopRight = 10,
    BottomLeft = 11,
    BottomRight = 12,
};

enum ViewAutoresizing : unsigned {
    ViewAutoresizingNone = 0,
    ViewAutoresizingFlexibleLeftMargin = 1 << 0,
    ViewAutoresizingFlexibleWidth = 1 << 1,
    ViewAutoresizingFlexibleRightMargin = 1 << 2,
    ViewAutoresizingFlexibleTopMargin = 1 << 3,
    ViewAutoresizingFlexibleHeight = 1 << 4,
    ViewAutoresizingFlexibleBottomMargin = 1 << 5,
};

// The platform's option bits.
enum ViewAnimationOptions : uint64_t {
    ViewAnimationOptionLayoutSubviews = 1 << 0,
    ViewAnimationOptionAllowUserInteraction = 1 << 1,
    ViewAnimationOptionBeginFromCurrentState = 1 << 2,
    ViewAnimationOptionRepeat = 1 << 3,
    ViewAnimationOptionAutoreverse = 1 << 4,
    ViewAnimationOptionOverrideInheritedDuration = 1 << 5,
    ViewAnimationOptionOverrideInheritedCurve = 1 << 6,
    ViewAnimationOptionAllowAnimatedContent = 1 << 7,
    ViewAnimationOptionShowHideTransitionViews = 1 << 8,
    ViewAnimationOptionOverrideInheritedOptions = 1 << 9,
    ViewAnimationOptionCurveEaseInOut = 0 << 16,
    ViewAnimationOptionCurveEaseIn = 1 << 16,
    ViewAnimationOptionCurveEaseOut = 2 << 16,
    ViewAnimationOptionCurveLinear = 3 << 16,
};

enum class ViewAnimationCurve { EaseInOut = 0, EaseIn = 1, EaseOut = 2, Linear = 3 };

enum class LayoutConstraintAxis { Horizontal = 0, Vertical = 1 };

// intrinsicContentSize for a dimension the view does not size itself.
inline constexpr double ViewNoIntrinsicMetric = -1;

class View : public Responder {
    RT_DECLARE_CLASS(View)
public:
    View();
    explicit View(const cg::Rect& frame);
    ~View() override;
    static ns::Ref<View> make(const cg::Rect& frame = {});

    const ns::Ref<Layer>& layer() const { return layer_; }

    // ---- Geometry ----
    cg::Rect frame() const { return layer_->frame(); }
    virtual void setFrame(const cg::Rect& frame);
    cg::Rect bounds() const { return layer_->bounds(); }
    virtual void setBounds(const cg::Rect& bounds);
    cg::Point center() const { return layer_->position(); }
    virtual void setCenter(cg::Point center);
    cg::AffineTransform transform() const { return layer_->affineTransform(); }
    virtual void setTransform(const cg::AffineTransform& transform);

    // ---- Appearance ----
    double alpha() const { return layer_->opacity(); }
    virtual void setAlpha(double alpha);
    bool isHidden() const { return layer_->isHidden(); }
    virtual void setHidden(bool hidden);
    const std::optional<cg::Color>& backgroundColor() const { return layer_->backgroundColor(); }
    virtual void setBackgroundColor(std::optional<cg::Color> color);
    bool clipsToBounds() const { return layer_->masksToBounds(); }
    void setClipsToBounds(bool on) { layer_->setMasksToBounds(on); }
    bool isOpaque() const { return opaque_; }
    void setOpaque(bool opaque) { opaque_ = opaque; }
    ViewContentMode contentMode() const { return contentMode_; }
    void setContentMode(ViewContentMode mode) { contentMode_ = mode; }
    // The view's own tint colour, else the nearest ancestor's, else the
    // platform's default blue.
    cg::Color tintColor() const;
    void setTintColor(std::optional<cg::Color> color);
    bool hasOwnTintColor() const { return tintColor_.has_value(); }
    // Called on the view and its descendants without their own tint when
    // the inherited tint changes.
    virtual void tintColorDidChange() {}

    int64_t tag() const { return tag_; }
    void setTag(int64_t tag) { tag_ = tag; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool on) { userInteractionEnabled_ = on; }
    bool isMultipleTouchEnabled() const { return multipleTouchEnabled_; }
    void setMultipleTouchEnabled(bool on) { multipleTouchEnabled_ = on; }
    unsigned autoresizingMask() const { return autoresizingMask_; }
    void setAutoresizingMask(unsigned mask) { autoresizingMask_ = mask; }
    bool autoresizesSubviews() const { return autoresizesSubviews_; }
    void setAutoresizesSubviews(bool on) { autoresizesSubviews_ = on; }

    // ---- Hierarchy ----
    // Nil while the superview is still being constructed.
    ns::Ref<View> superview() const;
    const std::vector<ns::Ref<View>>& subviews() const { return subviews_; }
    // The window at the root of this view's tree (the view itself for a
    // window), or nil.
    ns::Ref<Window> window() const;
    // Adding a view that is already a subview moves it to the front; adding
    // a view to itself or to one of its descendants raises
    // NSInvalidArgumentException.
    void addSubview(const ns::Ref<View>& view);
    // Indices past the end append.
    void insertSubview(const ns::Ref<View>& view, size_t index);
    // A sibling that is not a subview appends (the platform's behaviour).
    void insertSubviewAbove(const ns::Ref<View>& view, const ns::Ref<View>& sibling);
    void insertSubviewBelow(const ns::Ref<View>& view, const ns::Ref<View>& sibling);
    void bringSubviewToFront(const ns::Ref<View>& view);
    void sendSubviewToBack(const ns::Ref<View>& view);
    // Out-of-range indices raise NSRangeException.
    void exchangeSubview(size_t index1, size_t index2);
    void removeFromSuperview();
    // True for the view itself.
    bool isDescendantOfView(const View* view) const;
    // Depth first, the view itself first; nil when none has the tag.
    ns::Ref<View> viewWithTag(int64_t tag);

    // ---- Hooks (the base versions do nothing) ----
    virtual void willMoveToSuperview(View* newSuperview);
    virtual void didMoveToSuperview();
    virtual void willMoveToWindow(Window* newWindow);
    virtual void didMoveToWindow();
    virtual void didAddSubview(View* subview);
    virtual void willRemoveSubview(View* subview);

    // ---- Coordinates (nil view: this view's window) ----
    cg::Point convertPointToView(cg::Point point, const View* view) const;
    cg::Point convertPointFromView(cg::Point point, const View* view) const;
    cg::Rect convertRectToView(const cg::Rect& rect, const View* view) const;
    cg::Rect convertRectFromView(const cg::Rect& rect, const View* view) const;

    // ---- Hit testing ----
    // The deepest visible, interactive view containing the point (in this
    // view's space), front to back; nil when this view is hidden, has alpha
    // below 0.01, ignores interaction or does not contain the point.
    virtual ns::Ref<View> hitTest(cg::Point point, Event* event);
    virtual bool pointInside(cg::Point point, Event* event);

    // ---- Layout ----
    // Places constraint-laid subviews (see LayoutConstraint.h); subclasses
    // call it first, then place the rest.
    virtual void layoutSubviews();
    void setNeedsLayout();
    bool needsLayout() const { return needsLayout_; }
    // Lays out now what waits for layout, from the topmost ancestor that
    // does down through this view's subtree.
    void layoutIfNeeded();
    // The current size unless a subclass knows better.
    virtual cg::Size sizeThatFits(cg::Size size) const;
    void sizeToFit();
    // ViewNoIntrinsicMetric in both dimensions unless a subclass knows better.
    virtual cg::Size intrinsicContentSize() const;
    void invalidateIntrinsicContentSize();

    // ---- Constraints ----
    bool translatesAutoresizingMaskIntoConstraints() const { return translatesAutoresizingMask_; }
    void setTranslatesAutoresizingMaskIntoConstraints(bool on) { translatesAutoresizingMask_ = on; }
    // The constraints installed on this view.
    const std::vector<ns::Ref<LayoutConstraint>>& constraints() const { return constraints_; }
    void addConstraint(const ns::Ref<LayoutConstraint>& constraint);
    void addConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints);
    void removeConstraint(const ns::Ref<LayoutConstraint>& constraint);
    void removeConstraints(const std::vector<ns::Ref<LayoutConstraint>>& constraints);
    // Runs in the update pass before layout for views that asked for it.
    virtual void updateConstraints();
    void setNeedsUpdateConstraints();
    bool needsUpdateConstraints() const { return needsUpdateConstraints_; }
    void updateConstraintsIfNeeded();
    float contentHuggingPriority(LayoutConstraintAxis axis) const;
    void setContentHuggingPriority(float priority, LayoutConstraintAxis axis);
    float contentCompressionResistancePriority(LayoutConstraintAxis axis) const;
    void setContentCompressionResistancePriority(float priority, LayoutConstraintAxis axis);

    ns::Ref<LayoutXAxisAnchor> leadingAnchor();
    ns::Ref<LayoutXAxisAnchor> trailingAnchor();
    ns::Ref<LayoutXAxisAnchor> leftAnchor();
    ns::Ref<LayoutXAxisAnchor> rightAnchor();
    ns::Ref<LayoutXAxisAnchor> centerXAnchor();
    ns::Ref<LayoutYAxisAnchor> topAnchor();
    ns::Ref<LayoutYAxisAnchor> bottomAnchor();
    ns::Ref<LayoutYAxisAnchor> centerYAnchor();
    ns::Ref<LayoutDimension> widthAnchor();
    ns::Ref<LayoutDimension> heightAnchor();

    // ---- Safe area ----
    // The part of the view that the window's safe-area insets (those of its
    // screen, where the window covers the unsafe edges) overlap.
    cg::EdgeInsets safeAreaInsets() const;
    cg::Rect safeAreaLayoutFrame() const;
    const ns::Ref<LayoutGuide>& safeAreaLayoutGuide();
    // Called, with a layout request, when the insets may have changed: the
    // view moved into a window, the screen model or orientation changed.
    virtual void safeAreaInsetsDidChange() {}

    // ---- Drawing ----
    // Draws into graphicsGetCurrentContext(); nothing by default.
    virtual void drawRect(const cg::Rect& rect);
    // The layer's display, asked first: a view that sets the layer's
    // contents itself answers true, and drawRect is not called.
    virtual bool displayLayer(Layer& layer) {
        (void)layer;
        return false;
    }
    void setNeedsDisplay();
    void setNeedsDisplayInRect(const cg::Rect& rect);

    // ---- Responders ----
    // The owning controller for a controller's root view, else the superview.
    ns::Ref<Responder> nextResponder() const override;
    // Set by the controller whose root view this is.
    void setViewDelegate(ns::Weak<ViewControllerBase> controller) { viewDelegate_ = std::move(controller); }
    ns::Ref<ViewControllerBase> viewDelegate() const { return viewDelegate_.lock(); }
    // The controller whose root view this is (loaded), or nil.
    ns::Ref<ViewControllerBase> owningController() const;
    // Views become first responder only while in a window.
    bool becomeFirstResponder() override;
    // Asks the first responder, when it is this view or inside it, to resign
    // (forced: without asking). True when none is left inside.
    bool endEditing(bool force);
    // Gives up first responder without asking anyone, as a forced
    // endEditing does; editors end their session (and its events) too.
    virtual void resignFirstResponderForcibly();

    // ---- Accessibility ----
    const std::string& accessibilityIdentifier() const { return accessibilityIdentifier_; }
    void setAccessibilityIdentifier(std::string identifier) { accessibilityIdentifier_ = std::move(identifier); }
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibilityLabel(std::string label) { accessibilityLabel_ = std::move(label); }
    bool isAccessibilityElement() const { return accessibilityElement_; }
    void setIsAccessibilityElement(bool on) { accessibilityElement_ = on; }
    bool accessibilityViewIsModal() const { return accessibilityViewIsModal_; }
    void setAccessibilityViewIsModal(bool on) { accessibilityViewIsModal_ = on; }
    // Whether a smart colour inversion leaves the view's content as it is.
    bool accessibilityIgnoresInvertColors() const { return accessibilityIgnoresInvertColors_; }
    void setAccessibilityIgnoresInvertColors(bool on) { accessibilityIgnoresInvertColors_ = on; }

    // ---- Gestures and motion ----
    const std::vector<ns::Ref<GestureRecognizer>>& gestureRecognizers() const { return gestureRecognizers_; }
    // Asked, of the view a touch began on and of the recognizer's own view,
    // before a recognizer leaves Possible; false makes it fail. True here.
    virtual bool gestureRecognizerShouldBegin(GestureRecognizer& recognizer);
    void addGestureRecognizer(const ns::Ref<GestureRecognizer>& recognizer);
    void removeGestureRecognizer(const ns::Ref<GestureRecognizer>& recognizer);
    const std::vector<ns::Ref<MotionEffect>>& motionEffects() const { return motionEffects_; }
    void addMotionEffect(const ns::Ref<MotionEffect>& effect);
    void removeMotionEffect(const ns::Ref<MotionEffect>& effect);
    void setMotionEffects(std::vector<ns::Ref<MotionEffect>> effects);

    // ---- Animations ----
    using Block = std::function<void()>;
    using Completion = std::function<void(bool finished)>;
    static void animate(double duration, double delay, uint64_t options, const Block& animations,
                        Completion completion = {});
    static void animate(double duration, const Block& animations, Completion completion = {});
    static void animateWithSpring(double duration, double delay, double dampingRatio, double initialVelocity,
                                  uint64_t options, const Block& animations, Completion completion = {});
    static void performWithoutAnimation(const Block& changes);
    static bool areAnimationsEnabled();
    static void setAnimationsEnabled(bool enabled);
    // The older bracket form: settings apply to the changes made before the
    // commit. Defaults: 0.2 s, no delay, ease in and out.
    static void beginAnimations(std::string context = {});
    static void commitAnimations();
    static void setAnimationDuration(double seconds);
    static void setAnimationDelay(double seconds);
    static void setAnimationCurve(ViewAnimationCurve curve);
    static void setAnimationBeginsFromCurrentState(bool on);

    // "<UIView: 0x...; frame = (x y; w h)...>", as the platform prints views.
    std::string description() const override;

    // ---- For the layer and the window ----
    virtual bool isWindow() const { return false; }
    bool shouldAnimateLayerChange(std::string_view key) const;
    void recordLayerChange(Layer& layer, std::string_view key, const ns::Id& from, const ns::Id& to);

protected:
    // For views backed by a layer subclass: `layer` must be fresh.
    View(const cg::Rect& frame, ns::Ref<Layer> layer);

private:
    friend class Application;
    friend class Window;
    friend class UpdateCycle;

    void insertAt(const ns::Ref<View>& view, size_t index);
    void detach(View& subview);
    void notifyWillMoveToWindow(Window* newWindow);
    void notifyDidMoveToWindow();
    void layoutSubtreeIfNeeded();
    void updateConstraintsInSubtree();
    void sizeChanged(cg::Size oldSize);
    void resizeSubviews(cg::Size oldSize);
    void tintChangedInSubtree();
    void safeAreaChangedInSubtree();
    Window* windowRaw() const;

    ns::Ref<Layer> layer_;
    // Raw so that views may add subviews while they are being constructed;
    // a dying view clears it in its subviews.
    View* superview_ = nullptr;
    std::vector<ns::Ref<View>> subviews_;
    ns::Weak<ViewControllerBase> viewDelegate_;

    std::optional<cg::Color> tintColor_;
    int64_t tag_ = 0;
    bool opaque_ = true;
    bool userInteractionEnabled_ = true;
    bool multipleTouchEnabled_ = false;
    bool autoresizesSubviews_ = true;
    unsigned autoresizingMask_ = ViewAutoresizingNone;
    ViewContentMode contentMode_ = ViewContentMode::ScaleToFill;

    bool needsLayout_ = false;
    bool needsUpdateConstraints_ = false;
    bool translatesAutoresizingMask_ = true;
    std::vector<ns::Ref<LayoutConstraint>> constraints_;
    float hugging_[2] = {250, 250};
    float compression_[2] = {750, 750};
    ns::Ref<LayoutGuide> safeAreaGuide_;

    std::string accessibilityIdentifier_;
    std::string accessibilityLabel_;
    bool accessibilityElement_ = false;
    bool accessibilityViewIsModal_ = false;
    bool accessibilityIgnoresInvertColors_ = false;

    std::vector<ns::Ref<GestureRecognizer>> gestureRecognizers_;
    std::vector<ns::Ref<MotionEffect>> motionEffects_;
    bool appearanceApplied_ = false;
};

}  // namespace ui
