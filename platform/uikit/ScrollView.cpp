#include "platform/uikit/ScrollView.h"

#include <algorithm>
#include <cmath>

#include "platform/dispatch/Queue.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/KeyValueObserving.h"

namespace ui {

namespace {

// A structure-valued property read and written as a boxed value, so that
// key-value coding (and the initial call of an observer) sees it.
template <class Get, class Set>
rt::Property boxedProperty(const char* name, const char* type, Get get, Set set) {
    rt::Property p;
    p.name = name;
    p.typeCode = type;
    p.kind = rt::ValueKind::Object;
    p.attributes = std::string("T") + type + ",N,V_" + name;
    p.get = [get](const ns::Object& o) -> rt::Value { return ns::Id(get(static_cast<const ScrollView&>(o))); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        const ns::Id* id = std::get_if<ns::Id>(&v);
        if (!id || !*id) return false;
        set(static_cast<ScrollView&>(o), *id);
        return true;
    };
    return p;
}

}  // namespace

RT_DEFINE_CLASS(ScrollViewPanGestureRecognizer, PanGestureRecognizer, "UIScrollViewPanGestureRecognizer")

RT_DEFINE_CLASS(
    ScrollView, View, "UIScrollView",
    boxedProperty(
        "contentOffset", "{CGPoint=dd}", [](const ScrollView& s) { return valueWithPoint(s.contentOffset()); },
        [](ScrollView& s, const ns::Id& v) { s.setContentOffset(pointValue(v)); }),
    boxedProperty(
        "contentSize", "{CGSize=dd}", [](const ScrollView& s) { return valueWithSize(s.contentSize()); },
        [](ScrollView& s, const ns::Id& v) { s.setContentSize(sizeValue(v)); }),
    boxedProperty(
        "contentInset", "{UIEdgeInsets=dddd}",
        [](const ScrollView& s) { return valueWithEdgeInsets(s.contentInset()); },
        [](ScrollView& s, const ns::Id& v) { s.setContentInset(edgeInsetsValue(v)); }))

ScrollView::ScrollView() : View() { commonInit(); }

ScrollView::ScrollView(const cg::Rect& frame) : View(frame) { commonInit(); }

ScrollView::~ScrollView() = default;

ns::Ref<ScrollView> ScrollView::make(const cg::Rect& frame) { return std::make_shared<ScrollView>(frame); }

void ScrollView::commonInit() {
    setClipsToBounds(true);
    pan_ = std::make_shared<ScrollViewPanGestureRecognizer>();
    // The recognizer belongs to this view, so its view is the way back here
    // (no shared reference exists yet while constructing).
    pan_->addTarget([](GestureRecognizer& recognizer) {
        if (auto view = std::dynamic_pointer_cast<ScrollView>(recognizer.view())) view->handlePan(recognizer);
    });
    addGestureRecognizer(pan_);
}

// ---- Content ----

void ScrollView::setBounds(const cg::Rect& bounds) {
    cg::Point before = contentOffset();
    View::setBounds(bounds);
    cg::Point after = contentOffset();
    if (before == after) return;
    auto keep = ref<ScrollView>();
    contentOffsetDidChange();
    announceOffset(before, after);
    if (auto d = delegate()) d->scrollViewDidScroll(*this);
}

void ScrollView::announceOffset(cg::Point before, cg::Point after) {
    if (ns::hasObservers(*this, "contentOffset")) {
        ns::didChangeValue(*this, "contentOffset", valueWithPoint(before), valueWithPoint(after));
    }
}

void ScrollView::applyOffset(cg::Point offset) {
    cg::Rect b = bounds();
    if (b.origin == offset) {
        announceOffset(offset, offset);
        return;
    }
    setBounds({offset, b.size});
}

void ScrollView::setContentOffset(cg::Point offset) { applyOffset(offset); }

void ScrollView::setContentOffset(cg::Point offset, bool animated) {
    if (!animated) {
        applyOffset(offset);
        return;
    }
    if (offset == contentOffset()) return;
    uint64_t generation = ++scrollAnimationGeneration_;
    applyOffset(offset);
    ns::Weak<ScrollView> weak = ref<ScrollView>();
    dispatch::after(ScrollAnimationDuration, dispatch::mainQueue(), [weak, generation] {
        auto self = weak.lock();
        if (!self || self->scrollAnimationGeneration_ != generation) return;
        if (auto d = self->delegate()) d->scrollViewDidEndScrollingAnimation(*self);
    });
}

void ScrollView::setContentSize(cg::Size size) {
    cg::Size before = contentSize_;
    contentSize_ = size;
    if (ns::hasObservers(*this, "contentSize")) {
        ns::didChangeValue(*this, "contentSize", valueWithSize(before), valueWithSize(size));
    }
}

void ScrollView::setContentInset(const cg::EdgeInsets& inset) {
    cg::EdgeInsets before = contentInset_;
    contentInset_ = inset;
    if (ns::hasObservers(*this, "contentInset")) {
        ns::didChangeValue(*this, "contentInset", valueWithEdgeInsets(before), valueWithEdgeInsets(inset));
    }
}

bool ScrollView::scrollsHorizontally() const {
    return alwaysBounceHorizontal_ || contentSize_.width > bounds().width();
}

bool ScrollView::scrollsVertically() const { return alwaysBounceVertical_ || contentSize_.height > bounds().height(); }

cg::EdgeInsets ScrollView::adjustedContentInset() const {
    cg::EdgeInsets out = contentInset_;
    if (adjustment_ == ScrollViewContentInsetAdjustmentBehavior::Never) return out;
    cg::EdgeInsets safe = safeAreaInsets();
    bool all = adjustment_ == ScrollViewContentInsetAdjustmentBehavior::Always;
    if (all || scrollsVertically()) {
        out.top += safe.top;
        out.bottom += safe.bottom;
    }
    if (all || scrollsHorizontally()) {
        out.left += safe.left;
        out.right += safe.right;
    }
    return out;
}

cg::Point ScrollView::minimumContentOffset() const {
    cg::EdgeInsets in = adjustedContentInset();
    // 0 - x keeps a zero inset a positive zero.
    return {0 - in.left, 0 - in.top};
}

cg::Point ScrollView::maximumContentOffset() const {
    cg::EdgeInsets in = adjustedContentInset();
    cg::Size size = bounds().size;
    return {std::max(0 - in.left, contentSize_.width + in.right - size.width),
            std::max(0 - in.top, contentSize_.height + in.bottom - size.height)};
}

cg::Point ScrollView::clamped(cg::Point offset) const {
    cg::Point lo = minimumContentOffset();
    cg::Point hi = maximumContentOffset();
    return {std::clamp(offset.x, lo.x, hi.x), std::clamp(offset.y, lo.y, hi.y)};
}

void ScrollView::scrollRectToVisible(const cg::Rect& rect, bool animated) {
    cg::EdgeInsets in = adjustedContentInset();
    cg::Point offset = contentOffset();
    cg::Size size = bounds().size;
    double visibleWidth = size.width - in.left - in.right;
    double visibleHeight = size.height - in.top - in.bottom;
    cg::Rect r = rect.standardized();
    if (r.minX() < offset.x + in.left || r.width() > visibleWidth) {
        offset.x = r.minX() - in.left;
    } else if (r.maxX() > offset.x + in.left + visibleWidth) {
        offset.x = r.maxX() - visibleWidth - in.left;
    }
    if (r.minY() < offset.y + in.top || r.height() > visibleHeight) {
        offset.y = r.minY() - in.top;
    } else if (r.maxY() > offset.y + in.top + visibleHeight) {
        offset.y = r.maxY() - visibleHeight - in.top;
    }
    setContentOffset(clamped(offset), animated);
}

void ScrollView::setScrollEnabled(bool on) {
    scrollEnabled_ = on;
    pan_->setEnabled(on);
}

// ---- Dragging ----

void ScrollView::handlePan(GestureRecognizer& recognizer) {
    auto keep = ref<ScrollView>();
    auto translation = [&] {
        if (simulating_) return simulatedTranslation_;
        cg::Point t = pan_->translationInView(nullptr);
        return cg::Vector{t.x, t.y};
    };
    switch (recognizer.state()) {
        case GestureRecognizerState::Began:
            // A finger has already travelled past the pan's hysteresis; the
            // content starts following from here rather than jumping.
            if (!simulating_) pan_->setTranslation({}, nullptr);
            beginDrag();
            dragTo(translation());
            break;
        case GestureRecognizerState::Changed: dragTo(translation()); break;
        case GestureRecognizerState::Ended:
            if (simulating_) {
                endDrag(simulatedVelocity_);
            } else {
                endDrag(pan_->velocityInView(nullptr));
            }
            break;
        case GestureRecognizerState::Cancelled: endDrag({}); break;
        default: break;
    }
}

void ScrollView::beginDrag() {
    // A finger stops whatever the content was doing.
    ++decelerationGeneration_;
    ++scrollAnimationGeneration_;
    decelerating_ = false;
    tracking_ = true;
    dragging_ = true;
    dragStartOffset_ = contentOffset();
    if (keyboardDismissMode_ != ScrollViewKeyboardDismissMode::None) endEditing(true);
    if (auto d = delegate()) d->scrollViewWillBeginDragging(*this);
}

void ScrollView::dragTo(cg::Vector translation) {
    if (!dragging_) return;
    cg::Point target = dragStartOffset_;
    if (scrollsHorizontally()) target.x -= translation.dx;
    if (scrollsVertically()) target.y -= translation.dy;
    if (!bounces_) target = clamped(target);
    if (target != contentOffset()) applyOffset(target);
}

cg::Point ScrollView::releaseTarget(cg::Point fingerVelocity) const {
    cg::Point offset = contentOffset();
    double rate = std::clamp(decelerationRate_, 0.0, 0.9999);
    double factor = rate / (1 - rate) / 1000;
    cg::Point target = offset;
    if (scrollsHorizontally()) target.x -= fingerVelocity.x * factor;
    if (scrollsVertically()) target.y -= fingerVelocity.y * factor;
    if (pagingEnabled_) {
        cg::Size page = bounds().size;
        auto snap = [](double value, double start, double size) {
            if (size <= 0) return value;
            double startPage = std::round(start / size);
            double p = std::clamp(std::round(value / size), startPage - 1, startPage + 1);
            return p * size;
        };
        if (scrollsHorizontally()) target.x = snap(target.x, dragStartOffset_.x, page.width);
        if (scrollsVertically()) target.y = snap(target.y, dragStartOffset_.y, page.height);
    }
    return clamped(target);
}

void ScrollView::endDrag(cg::Point fingerVelocity) {
    if (!dragging_) return;
    cg::Point target = releaseTarget(fingerVelocity);
    if (auto d = delegate()) {
        // The platform reports the content's velocity in points per millisecond.
        cg::Point velocity{scrollsHorizontally() ? -fingerVelocity.x / 1000 : 0,
                           scrollsVertically() ? -fingerVelocity.y / 1000 : 0};
        d->scrollViewWillEndDragging(*this, velocity, target);
    }
    tracking_ = false;
    dragging_ = false;
    bool willDecelerate = target != contentOffset();
    if (willDecelerate) {
        // The content is let go where the finger left it: observers see that
        // place once, no longer dragged, before it bounces or glides on (the
        // first frame of the platform's bounce). One that moves the content
        // then (a control holding itself in view) decides where it rests.
        cg::Point released = contentOffset();
        announceOffset(released, released);
        if (contentOffset() != released) target = clamped(contentOffset());
        willDecelerate = target != contentOffset();
    }
    if (auto d = delegate()) d->scrollViewDidEndDragging(*this, willDecelerate);
    if (!willDecelerate) return;
    decelerating_ = true;
    uint64_t generation = ++decelerationGeneration_;
    if (auto d = delegate()) d->scrollViewWillBeginDecelerating(*this);
    applyOffset(target);
    ns::Weak<ScrollView> weak = ref<ScrollView>();
    dispatch::after(DecelerationDuration, dispatch::mainQueue(), [weak, generation] {
        auto self = weak.lock();
        if (!self || self->decelerationGeneration_ != generation) return;
        self->decelerating_ = false;
        if (auto d = self->delegate()) d->scrollViewDidEndDecelerating(*self);
    });
}

bool ScrollView::simulateDrag(cg::Vector delta, int steps, cg::Point releaseVelocity) {
    if (!scrollEnabled_ || !pan_->isEnabled()) return false;
    if (pan_->state() != GestureRecognizerState::Possible) return false;
    steps = std::max(steps, 1);
    auto keep = ref<ScrollView>();
    simulating_ = true;
    simulatedTranslation_ = {};
    simulatedVelocity_ = {};
    pan_->simulateState(GestureRecognizerState::Began);
    if (pan_->state() != GestureRecognizerState::Began) {
        simulating_ = false;
        pan_->reset();
        return false;
    }
    for (int i = 1; i <= steps; ++i) {
        simulatedTranslation_ = {delta.dx * i / steps, delta.dy * i / steps};
        pan_->simulateState(GestureRecognizerState::Changed);
    }
    simulatedVelocity_ = releaseVelocity;
    pan_->simulateState(GestureRecognizerState::Ended);
    simulating_ = false;
    pan_->reset();
    return true;
}

std::string ScrollView::description() const {
    std::string out = View::description();
    out.pop_back();
    return out + "; contentOffset: " + cg::toString(contentOffset()) + "; contentSize: " + cg::toString(contentSize_) +
           ">";
}

}  // namespace ui
