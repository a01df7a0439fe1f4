#pragma once
// The base of the pull-to-refresh controls: a view that sits inside a scroll
// view, observes its content offset, content size and pan gesture, and runs
// the five-state machine with the refreshing callback and its completion
// callbacks, the pulling percent and the automatic alpha. Headers, auto
// footers and back footers build on it.
//
// Controls are made with make<T>() (or their class factories), which runs
// prepare() and enters Idle. The scroll view owns a control as its subview;
// the control holds the scroll view weakly.
//
// Main thread only.

#include <functional>

#include "platform/runtime/Object.h"
#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/View.h"
#include "ui/refresh/TVRefreshConst.h"

class TVRefreshComponent : public ui::View {
    RT_DECLARE_CLASS(TVRefreshComponent)
public:
    using Block = std::function<void()>;
    // Sent to the target with the control, as the refreshing action.
    using Action = std::function<void(ns::Object& target, TVRefreshComponent& control)>;

    TVRefreshComponent() = default;
    ~TVRefreshComponent() override;

    // A new control of class T, prepared and Idle.
    template <class T>
    static ns::Ref<T> make() {
        auto control = std::make_shared<T>();
        control->initialize();
        return control;
    }

    const cg::EdgeInsets& scrollViewOriginalInset() const { return scrollViewOriginalInset_; }
    ns::Ref<ui::ScrollView> scrollView() const { return scrollView_.lock(); }
    const ns::Ref<ui::PanGestureRecognizer>& pan() const { return pan_; }

    bool isAutomaticallyChangeAlpha() const { return automaticallyChangeAlpha_; }
    void setAutomaticallyChangeAlpha(bool on);
    // The older name.
    bool isAutoChangeAlpha() const { return isAutomaticallyChangeAlpha(); }
    void setAutoChangeAlpha(bool on) { setAutomaticallyChangeAlpha(on); }

    const Block& refreshingBlock() const { return refreshingBlock_; }
    void setRefreshingBlock(Block block) { refreshingBlock_ = std::move(block); }
    void setRefreshingTarget(const ns::Ref<ns::Object>& target, Action action);
    const Block& beginRefreshingCompletionBlock() const { return beginRefreshingCompletionBlock_; }
    void setBeginRefreshingCompletionBlock(Block block) { beginRefreshingCompletionBlock_ = std::move(block); }
    const Block& endRefreshingCompletionBlock() const { return endRefreshingCompletionBlock_; }
    void setEndRefreshingCompletionBlock(Block block) { endRefreshingCompletionBlock_ = std::move(block); }

    TVRefreshState state() const { return state_; }
    // Stores the state and asks for layout on a later turn of the main queue.
    // Overrides return at once for the current state, else call this first
    // and then act on (old, new).
    virtual void setState(TVRefreshState state);
    bool isRefreshing() const;
    double pullingPercent() const { return pullingPercent_; }
    virtual void setPullingPercent(double percent);

    void beginRefreshing();
    void beginRefreshingWithCompletionBlock(Block block);
    // Back to Idle at once; headers and back footers post it instead.
    virtual void endRefreshing();
    void endRefreshingWithCompletionBlock(Block block);

    void layoutSubviews() override;
    void willMoveToSuperview(ui::View* newSuperview) override;
    void drawRect(const cg::Rect& rect) override;

protected:
    // The control's own set-up, before it enters Idle: each override calls
    // the inherited one first.
    virtual void prepare();
    // Lays out the control's subviews (before the inherited layout).
    virtual void placeSubviews() {}
    // Observed changes; `change` is null when called without one.
    virtual void scrollViewContentOffsetDidChange(const ns::KeyValueChange* change) { (void)change; }
    virtual void scrollViewContentSizeDidChange(const ns::KeyValueChange* change) { (void)change; }
    virtual void scrollViewPanStateDidChange(const ns::KeyValueChange* change) { (void)change; }

    // Posts the refreshing callbacks to the main queue: block, target-action,
    // begin completion.
    void executeRefreshingCallback();
    // The pull that headers and back footers share: while the user drags,
    // the percent follows and the state turns Pulling past the threshold and
    // back to Idle before it; letting go while Pulling refreshes.
    void followPull(bool dragging, double percent, bool beyondThreshold);
    // Back from Refreshing: over 0.4 s `restoreInset` gives the scroll view
    // its inset back and the alpha goes to 0 when it follows the pull; then
    // the percent is 0 and the end completion is called.
    // setState on a later turn of the main queue.
    void postState(TVRefreshState state);
    using InsetChange = std::function<void(TVRefreshComponent& control, ui::ScrollView& scrollView)>;
    void springBack(InsetChange restoreInset);
    // Into Refreshing: over 0.25 s `openInset` holds the control in view;
    // then the refreshing callbacks are posted.
    void holdOpen(InsetChange openInset);
    void setScrollViewOriginalInset(const cg::EdgeInsets& inset) { scrollViewOriginalInset_ = inset; }
    // The height of the control (its frame's).
    double height() const { return frame().size.height; }
    // Whether `view` has constraints that place it (then it is left alone).
    static bool hasOwnConstraints(const ui::View& view) { return !view.constraints().empty(); }

private:
    void initialize();
    void addObservers();
    void removeObservers();
    void observed(const std::string& key, const ns::KeyValueChange& change);

    cg::EdgeInsets scrollViewOriginalInset_;
    // The scroll view owns the control; it is held weakly back.
    ns::Weak<ui::ScrollView> scrollView_;
    bool automaticallyChangeAlpha_ = false;
    Block refreshingBlock_;
    ns::Weak<ns::Object> refreshingTarget_;
    Action refreshingAction_;
    Block beginRefreshingCompletionBlock_;
    Block endRefreshingCompletionBlock_;
    TVRefreshState state_ = TVRefreshState(0);
    double pullingPercent_ = 0;
    ns::Ref<ui::PanGestureRecognizer> pan_;
    std::vector<ns::Id> observations_;
};
