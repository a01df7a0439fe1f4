#pragma once
// Scroll views: a view whose bounds origin is the content offset, moved by
// its pan gesture recognizer or by code.
//
// contentOffset, contentSize and contentInset are key-value observable with
// old and new values on every set, equal values included (observers such as
// pull-to-refresh controls set an offset to itself to be heard). The pan
// recognizer's "state" is observable as for every recognizer; a drag moves
// it through Began, Changed... Ended, and observers of the Ended state still
// see the dragged offset and isDragging() true, as on the platform.
//
// The model of motion (deterministic, documented here):
// - While dragging, the content follows the finger one to one on each axis
//   that can scroll (content larger than the view, or alwaysBounce*); with
//   bounces on it may go past the edges without rubber-band resistance,
//   with bounces off it stops at them.
// - On release the target offset is the drag's end projected by the release
//   velocity with the normal deceleration rate (v / 1000 x 0.998 / 0.002,
//   about half a second's travel), then snapped to the nearest page when
//   paging (at most one page from where the drag began) and clamped to the
//   edges. A different target means the view decelerates: the target is
//   applied at once (one didScroll), and DecelerationDuration later on the
//   clock isDecelerating() turns false and didEndDecelerating is called.
// - setContentOffset(animated) applies the offset at once and calls
//   didEndScrollingAnimation ScrollAnimationDuration later; a newer
//   animated scroll replaces a pending one, and an unchanged offset does not
//   animate.
//
// Main thread only.

#include <memory>

#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/View.h"

namespace ui {

class ScrollView;

enum class ScrollViewContentInsetAdjustmentBehavior { Automatic = 0, ScrollableAxes = 1, Never = 2, Always = 3 };
enum class ScrollViewIndicatorStyle { Default = 0, Black = 1, White = 2 };
enum class ScrollViewKeyboardDismissMode { None = 0, OnDrag = 1, Interactive = 2 };

// The platform's deceleration rates (per millisecond).
inline constexpr double ScrollViewDecelerationRateNormal = 0.998;
inline constexpr double ScrollViewDecelerationRateFast = 0.99;

class ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    virtual void scrollViewDidScroll(ScrollView& scrollView) { (void)scrollView; }
    virtual void scrollViewWillBeginDragging(ScrollView& scrollView) { (void)scrollView; }
    // May change the target the view will decelerate to.
    virtual void scrollViewWillEndDragging(ScrollView& scrollView, cg::Point velocity, cg::Point& targetContentOffset) {
        (void)scrollView;
        (void)velocity;
        (void)targetContentOffset;
    }
    virtual void scrollViewDidEndDragging(ScrollView& scrollView, bool willDecelerate) {
        (void)scrollView;
        (void)willDecelerate;
    }
    virtual void scrollViewWillBeginDecelerating(ScrollView& scrollView) { (void)scrollView; }
    virtual void scrollViewDidEndDecelerating(ScrollView& scrollView) { (void)scrollView; }
    virtual void scrollViewDidEndScrollingAnimation(ScrollView& scrollView) { (void)scrollView; }
};

// The scroll view's own pan recognizer, which drags can also drive without
// touches (ScrollView::simulateDrag).
class ScrollViewPanGestureRecognizer : public PanGestureRecognizer {
    RT_DECLARE_CLASS(ScrollViewPanGestureRecognizer)
public:
    using PanGestureRecognizer::PanGestureRecognizer;

private:
    friend class ScrollView;
    void simulateState(GestureRecognizerState state) { setState(state); }
};

class ScrollView : public View {
    RT_DECLARE_CLASS(ScrollView)
public:
    static constexpr double ScrollAnimationDuration = 0.3;
    static constexpr double DecelerationDuration = 0.5;

    ScrollView();
    explicit ScrollView(const cg::Rect& frame);
    ~ScrollView() override;
    static ns::Ref<ScrollView> make(const cg::Rect& frame = {});

    std::shared_ptr<ScrollViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<ScrollViewDelegate>& delegate) { delegate_ = delegate; }

    // ---- Content ----
    cg::Point contentOffset() const { return bounds().origin; }
    void setContentOffset(cg::Point offset);
    void setContentOffset(cg::Point offset, bool animated);
    cg::Size contentSize() const { return contentSize_; }
    void setContentSize(cg::Size size);
    const cg::EdgeInsets& contentInset() const { return contentInset_; }
    void setContentInset(const cg::EdgeInsets& inset);
    // contentInset plus the safe-area insets the adjustment behaviour adds:
    // Always all four, Never none, Automatic and ScrollableAxes those of the
    // axes that scroll.
    cg::EdgeInsets adjustedContentInset() const;
    ScrollViewContentInsetAdjustmentBehavior contentInsetAdjustmentBehavior() const { return adjustment_; }
    void setContentInsetAdjustmentBehavior(ScrollViewContentInsetAdjustmentBehavior behavior) {
        adjustment_ = behavior;
    }
    // Offsets the content may rest at: from -adjusted top/left to where the
    // content's far edge (plus its inset) meets the view's.
    cg::Point minimumContentOffset() const;
    cg::Point maximumContentOffset() const;
    // Scrolls the least needed to show `rect` (content coordinates).
    void scrollRectToVisible(const cg::Rect& rect, bool animated);

    // ---- Behaviour ----
    bool bounces() const { return bounces_; }
    void setBounces(bool on) { bounces_ = on; }
    bool alwaysBounceVertical() const { return alwaysBounceVertical_; }
    void setAlwaysBounceVertical(bool on) { alwaysBounceVertical_ = on; }
    bool alwaysBounceHorizontal() const { return alwaysBounceHorizontal_; }
    void setAlwaysBounceHorizontal(bool on) { alwaysBounceHorizontal_ = on; }
    bool isPagingEnabled() const { return pagingEnabled_; }
    void setPagingEnabled(bool on) { pagingEnabled_ = on; }
    // Also enables or disables the pan recognizer.
    bool isScrollEnabled() const { return scrollEnabled_; }
    void setScrollEnabled(bool on);
    bool showsVerticalScrollIndicator() const { return showsVertical_; }
    void setShowsVerticalScrollIndicator(bool on) { showsVertical_ = on; }
    bool showsHorizontalScrollIndicator() const { return showsHorizontal_; }
    void setShowsHorizontalScrollIndicator(bool on) { showsHorizontal_ = on; }
    ScrollViewIndicatorStyle indicatorStyle() const { return indicatorStyle_; }
    void setIndicatorStyle(ScrollViewIndicatorStyle style) { indicatorStyle_ = style; }
    bool scrollsToTop() const { return scrollsToTop_; }
    void setScrollsToTop(bool on) { scrollsToTop_ = on; }
    bool isDirectionalLockEnabled() const { return directionalLock_; }
    void setDirectionalLockEnabled(bool on) { directionalLock_ = on; }
    double decelerationRate() const { return decelerationRate_; }
    void setDecelerationRate(double rate) { decelerationRate_ = rate; }
    ScrollViewKeyboardDismissMode keyboardDismissMode() const { return keyboardDismissMode_; }
    void setKeyboardDismissMode(ScrollViewKeyboardDismissMode mode) { keyboardDismissMode_ = mode; }

    // ---- State ----
    bool isTracking() const { return tracking_; }
    bool isDragging() const { return dragging_; }
    bool isDecelerating() const { return decelerating_; }
    const ns::Ref<ScrollViewPanGestureRecognizer>& panGestureRecognizer() const { return pan_; }

    // Drags the content by `delta` (the finger's travel: a negative dy
    // scrolls towards the end) in `steps` moves, then lets go with
    // `releaseVelocity` (points per second, of the finger). Runs the pan's
    // states and the delegate calls a finger's drag would. False when
    // scrolling is disabled or the pan may not begin.
    bool simulateDrag(cg::Vector delta, int steps = 10, cg::Point releaseVelocity = {});

    void setBounds(const cg::Rect& bounds) override;
    std::string description() const override;

protected:
    // Called after every change of the offset, before the delegate hears
    // of it; table and collection views place their cells here.
    virtual void contentOffsetDidChange() {}

private:
    void commonInit();
    void handlePan(GestureRecognizer& recognizer);
    void beginDrag();
    void dragTo(cg::Vector translation);
    void endDrag(cg::Point velocity);
    void applyOffset(cg::Point offset);
    void announceOffset(cg::Point before, cg::Point after);
    bool scrollsHorizontally() const;
    bool scrollsVertically() const;
    cg::Point clamped(cg::Point offset) const;
    cg::Point releaseTarget(cg::Point velocity) const;

    std::weak_ptr<ScrollViewDelegate> delegate_;
    ns::Ref<ScrollViewPanGestureRecognizer> pan_;
    cg::Size contentSize_;
    cg::EdgeInsets contentInset_;
    ScrollViewContentInsetAdjustmentBehavior adjustment_ = ScrollViewContentInsetAdjustmentBehavior::Automatic;
    bool bounces_ = true;
    bool alwaysBounceVertical_ = false;
    bool alwaysBounceHorizontal_ = false;
    bool pagingEnabled_ = false;
    bool scrollEnabled_ = true;
    bool showsVertical_ = true;
    bool showsHorizontal_ = true;
    ScrollViewIndicatorStyle indicatorStyle_ = ScrollViewIndicatorStyle::Default;
    bool scrollsToTop_ = true;
    bool directionalLock_ = false;
    double decelerationRate_ = ScrollViewDecelerationRateNormal;
    ScrollViewKeyboardDismissMode keyboardDismissMode_ = ScrollViewKeyboardDismissMode::None;

    bool tracking_ = false;
    bool dragging_ = false;
    bool decelerating_ = false;
    cg::Point dragStartOffset_;
    // Set while simulateDrag drives the pan: its translation and velocity.
    bool simulating_ = false;
    cg::Vector simulatedTranslation_;
    cg::Point simulatedVelocity_;
    // Bumped to forget pending ends of scroll animations and decelerations.
    uint64_t scrollAnimationGeneration_ = 0;
    uint64_t decelerationGeneration_ = 0;
};

}  // namespace ui
