#include "ui/refresh/TVRefreshComponent.h"

#include "platform/dispatch/Queue.h"
#include "ui/refresh/TVExtension.h"

RT_DEFINE_CLASS(TVRefreshComponent, ui::View, "TVRefreshComponent")

namespace {
constexpr const char* ContentOffsetKey = "contentOffset";
constexpr const char* ContentSizeKey = "contentSize";
constexpr const char* PanStateKey = "state";
}  // namespace

TVRefreshComponent::~TVRefreshComponent() { removeObservers(); }

void TVRefreshComponent::initialize() {
    prepare();
    setState(TVRefreshState::Idle);
}

void TVRefreshComponent::prepare() {
    setAutoresizingMask(ui::ViewAutoresizingFlexibleWidth);
    setBackgroundColor(cg::Color::clear());
}

void TVRefreshComponent::layoutSubviews() {
    placeSubviews();
    ui::View::layoutSubviews();
}

// ---- Attachment ----

void TVRefreshComponent::willMoveToSuperview(ui::View* newSuperview) {
    ui::View::willMoveToSuperview(newSuperview);
    if (newSuperview && !newSuperview->isKindOf(ui::ScrollView::staticClass())) return;
    removeObservers();
    if (!newSuperview) return;
    auto scrollView = std::static_pointer_cast<ui::ScrollView>(newSuperview->self());
    setTV_w(*this, TV_w(*scrollView));
    setTV_x(*this, 0);
    scrollView_ = scrollView;
    scrollView->setAlwaysBounceVertical(true);
    scrollViewOriginalInset_ = scrollView->contentInset();
    addObservers();
}

void TVRefreshComponent::addObservers() {
    auto scrollView = scrollView_.lock();
    if (!scrollView) return;
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    auto callback = [weak](ns::Object&, const std::string& key, const ns::KeyValueChange& change) {
        if (auto self = weak.lock()) self->observed(key, change);
    };
    unsigned options = ns::KeyValueObservingOptionNew | ns::KeyValueObservingOptionOld;
    observations_.push_back(ns::addObserver(*scrollView, ContentOffsetKey, options, callback));
    observations_.push_back(ns::addObserver(*scrollView, ContentSizeKey, options, callback));
    pan_ = scrollView->panGestureRecognizer();
    observations_.push_back(ns::addObserver(*pan_, PanStateKey, options, callback));
}

void TVRefreshComponent::removeObservers() {
    // Only what this control registered goes; a freed scroll view has taken
    // its observations with it, and removing them again is harmless.
    for (const auto& token : observations_) ns::removeObserver(token);
    observations_.clear();
    pan_.reset();
}

void TVRefreshComponent::observed(const std::string& key, const ns::KeyValueChange& change) {
    if (!isUserInteractionEnabled()) return;
    if (key == ContentSizeKey) scrollViewContentSizeDidChange(&change);
    if (isHidden()) return;
    if (key == ContentOffsetKey) scrollViewContentOffsetDidChange(&change);
    else if (key == PanStateKey) scrollViewPanStateDidChange(&change);
}

// ---- State ----

void TVRefreshComponent::setState(TVRefreshState state) {
    state_ = state;
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    dispatch::mainQueue()->async([weak] {
        if (auto self = weak.lock()) self->setNeedsLayout();
    });
}

bool TVRefreshComponent::isRefreshing() const {
    return state_ == TVRefreshState::Refreshing || state_ == TVRefreshState::WillRefresh;
}

void TVRefreshComponent::drawRect(const cg::Rect& rect) {
    ui::View::drawRect(rect);
    if (state_ == TVRefreshState::WillRefresh) setState(TVRefreshState::Refreshing);
}

void TVRefreshComponent::beginRefreshing() {
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    ui::View::animate(TVRefreshFastAnimationDuration, [weak] {
        if (auto self = weak.lock()) self->setAlpha(1.0);
    });
    setPullingPercent(1.0);
    if (window()) {
        setState(TVRefreshState::Refreshing);
    } else if (state_ != TVRefreshState::Refreshing) {
        setState(TVRefreshState::WillRefresh);
        setNeedsDisplay();
    }
}

void TVRefreshComponent::beginRefreshingWithCompletionBlock(Block block) {
    beginRefreshingCompletionBlock_ = std::move(block);
    beginRefreshing();
}

void TVRefreshComponent::endRefreshing() { setState(TVRefreshState::Idle); }

void TVRefreshComponent::endRefreshingWithCompletionBlock(Block block) {
    endRefreshingCompletionBlock_ = std::move(block);
    endRefreshing();
}

void TVRefreshComponent::setPullingPercent(double percent) {
    pullingPercent_ = percent;
    if (isRefreshing()) return;
    if (automaticallyChangeAlpha_) setAlpha(percent);
}

void TVRefreshComponent::setAutomaticallyChangeAlpha(bool on) {
    automaticallyChangeAlpha_ = on;
    if (isRefreshing()) return;
    setAlpha(on ? pullingPercent_ : 1.0);
}

// ---- Callbacks ----

void TVRefreshComponent::setRefreshingTarget(const ns::Ref<ns::Object>& target, Action action) {
    refreshingTarget_ = target;
    refreshingAction_ = std::move(action);
}

void TVRefreshComponent::executeRefreshingCallback() {
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    dispatch::mainQueue()->async([weak] {
        auto self = weak.lock();
        if (!self) return;
        if (self->refreshingBlock_) self->refreshingBlock_();
        auto target = self->refreshingTarget_.lock();
        if (target && self->refreshingAction_) self->refreshingAction_(*target, *self);
        if (self->beginRefreshingCompletionBlock_) self->beginRefreshingCompletionBlock_();
    });
}

// ---- Shared by headers and back footers ----

void TVRefreshComponent::postState(TVRefreshState state) {
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    dispatch::mainQueue()->async([weak, state] {
        if (auto self = weak.lock()) self->setState(state);
    });
}

void TVRefreshComponent::followPull(bool dragging, double percent, bool beyondThreshold) {
    if (dragging) {
        setPullingPercent(percent);
        if (state_ == TVRefreshState::Idle && beyondThreshold) {
            setState(TVRefreshState::Pulling);
        } else if (state_ == TVRefreshState::Pulling && !beyondThreshold) {
            setState(TVRefreshState::Idle);
        }
    } else if (state_ == TVRefreshState::Pulling) {
        beginRefreshing();
    } else if (percent < 1) {
        setPullingPercent(percent);
    }
}

void TVRefreshComponent::springBack(InsetChange restoreInset) {
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    ui::View::animate(
        TVRefreshSlowAnimationDuration,
        [weak, restoreInset] {
            auto self = weak.lock();
            auto scrollView = self ? self->scrollView() : nullptr;
            // A freed scroll view has no inset to give back.
            if (!scrollView) return;
            restoreInset(*self, *scrollView);
            if (self->automaticallyChangeAlpha_) self->setAlpha(0.0);
        },
        [weak](bool) {
            auto self = weak.lock();
            if (!self) return;
            self->setPullingPercent(0.0);
            if (self->endRefreshingCompletionBlock_) self->endRefreshingCompletionBlock_();
        });
}

void TVRefreshComponent::holdOpen(InsetChange openInset) {
    ns::Weak<TVRefreshComponent> weak = ref<TVRefreshComponent>();
    ui::View::animate(
        TVRefreshFastAnimationDuration,
        [weak, openInset] {
            auto self = weak.lock();
            auto scrollView = self ? self->scrollView() : nullptr;
            if (scrollView) openInset(*self, *scrollView);
        },
        [weak](bool) {
            if (auto self = weak.lock()) self->executeRefreshingCallback();
        });
}
