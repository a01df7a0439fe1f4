#include "platform/uikit/GestureRecognizer.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/Number.h"
#include "platform/uikit/KeyValueObserving.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/Window.h"

namespace ui {

RT_DEFINE_CLASS(GestureRecognizer, ns::Object, "UIGestureRecognizer")

GestureRecognizer::GestureRecognizer(Action action) { addTarget(std::move(action)); }

void GestureRecognizer::addTarget(Action action) {
    if (action) actions_.push_back(std::move(action));
}

ns::Ref<View> GestureRecognizer::view() const {
    return view_ ? std::static_pointer_cast<View>(view_->weak_from_this().lock()) : nullptr;
}

void GestureRecognizer::attachToView(View* view) {
    view_ = view;
    touches_.clear();
    state_ = GestureRecognizerState::Possible;
}

void GestureRecognizer::setEnabled(bool enabled) {
    if (enabled_ == enabled) return;
    enabled_ = enabled;
    if (enabled) return;
    if (state_ == GestureRecognizerState::Began || state_ == GestureRecognizerState::Changed) {
        setState(GestureRecognizerState::Cancelled);
    }
    touches_.clear();
    reset();
}

std::vector<ns::Ref<Touch>> GestureRecognizer::activeTouches() const {
    std::vector<ns::Ref<Touch>> out;
    for (const auto& w : touches_) {
        auto t = w.lock();
        if (t && t->phase() != TouchPhase::Ended && t->phase() != TouchPhase::Cancelled) out.push_back(t);
    }
    return out;
}

size_t GestureRecognizer::numberOfTouches() const { return activeTouches().size(); }

cg::Point GestureRecognizer::centroidInWindow() const {
    auto touches = activeTouches();
    if (touches.empty()) {
        // Ending touches still count for the moment they end.
        for (const auto& w : touches_) {
            if (auto t = w.lock()) touches.push_back(t);
        }
    }
    if (touches.empty()) return lastCentroid_;
    cg::Point sum;
    for (const auto& t : touches) {
        cg::Point p = t->locationInView(nullptr);
        sum.x += p.x;
        sum.y += p.y;
    }
    return {sum.x / double(touches.size()), sum.y / double(touches.size())};
}

cg::Point GestureRecognizer::locationInView(const View* view) const {
    cg::Point p = centroidInWindow();
    auto v = this->view();
    auto window = v ? v->window() : nullptr;
    if (!view || !window) return p;
    return view->convertPointFromView(p, window.get());
}

void GestureRecognizer::touchesBegan(const TouchSet& touches, Event&) {
    for (const auto& t : touches) touches_.push_back(t);
    lastCentroid_ = centroidInWindow();
}

void GestureRecognizer::touchesMoved(const TouchSet&, Event&) { lastCentroid_ = centroidInWindow(); }

void GestureRecognizer::touchesEnded(const TouchSet&, Event&) { lastCentroid_ = centroidInWindow(); }

void GestureRecognizer::touchesCancelled(const TouchSet&, Event&) { lastCentroid_ = centroidInWindow(); }

void GestureRecognizer::reset() { state_ = GestureRecognizerState::Possible; }

void GestureRecognizer::forgetTouch(const Touch* touch) {
    touches_.erase(std::remove_if(touches_.begin(), touches_.end(),
                                  [&](const auto& w) {
                                      auto t = w.lock();
                                      return !t || t.get() == touch;
                                  }),
                   touches_.end());
}

bool GestureRecognizer::allowsSimultaneous(GestureRecognizer& other) {
    if (auto d = delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(*this, other)) return true;
    if (auto d = other.delegate(); d && d->gestureRecognizerShouldRecognizeSimultaneously(other, *this)) return true;
    return false;
}

void GestureRecognizer::failCompetitors() {
    std::vector<ns::Ref<GestureRecognizer>> others;
    for (const auto& w : touches_) {
        auto t = w.lock();
        if (!t) continue;
        for (const auto& r : t->gestureRecognizers()) {
            if (r.get() != this && std::find(others.begin(), others.end(), r) == others.end()) others.push_back(r);
        }
    }
    for (const auto& other : others) {
        if (other->state_ == GestureRecognizerState::Possible && !allowsSimultaneous(*other)) {
            other->setState(GestureRecognizerState::Failed);
        }
    }
}

bool GestureRecognizer::shouldBegin() {
    std::vector<ns::Ref<View>> views;
    for (const auto& w : touches_) {
        auto t = w.lock();
        auto v = t ? t->view() : nullptr;
        if (v && std::find(views.begin(), views.end(), v) == views.end()) views.push_back(v);
    }
    if (auto own = view(); own && std::find(views.begin(), views.end(), own) == views.end()) views.push_back(own);
    for (const auto& v : views) {
        if (!v->gestureRecognizerShouldBegin(*this)) return false;
    }
    if (auto d = delegate(); d && !d->gestureRecognizerShouldBegin(*this)) return false;
    return true;
}

void GestureRecognizer::setState(GestureRecognizerState state) {
    GestureRecognizerState old = state_;
    bool starting = old == GestureRecognizerState::Possible &&
                    (state == GestureRecognizerState::Began || state == GestureRecognizerState::Ended);
    if (starting && !shouldBegin()) state = GestureRecognizerState::Failed;
    // A continuous gesture reports every change, even to the same state.
    if (state == old && state != GestureRecognizerState::Changed) return;
    ns::Ref<GestureRecognizer> keep = ref<GestureRecognizer>();
    state_ = state;
    if (ns::hasObservers(*this, "state")) {
        ns::didChangeValue(*this, "state", ns::Number::withLongLong(int64_t(old)),
                           ns::Number::withLongLong(int64_t(state)));
    }
    if (starting && state != GestureRecognizerState::Failed) failCompetitors();
    switch (state) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed:
        case GestureRecognizerState::Ended:
        case GestureRecognizerState::Cancelled: {
            auto actions = actions_;
            for (auto& action : actions) action(*this);
            break;
        }
        default: break;
    }
}

// ---- Tap ----

RT_DEFINE_CLASS(TapGestureRecognizer, GestureRecognizer, "UITapGestureRecognizer")

namespace {

double distance(cg::Point a, cg::Point b) { return std::hypot(a.x - b.x, a.y - b.y); }

}  // namespace

void TapGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureRecognizerState::Possible) return;
    if (int(activeTouches().size()) > touchesRequired_) {
        setState(GestureRecognizerState::Failed);
        return;
    }
    start_ = centroidInWindow();
}

void TapGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    if (state() != GestureRecognizerState::Possible) return;
    if (distance(centroidInWindow(), start_) > AllowableMovement) setState(GestureRecognizerState::Failed);
}

void TapGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    if (state() != GestureRecognizerState::Possible || !activeTouches().empty()) return;
    int taps = 0;
    for (const auto& t : touches) taps = std::max(taps, t->tapCount());
    if (int(touches.size()) < touchesRequired_) {
        setState(GestureRecognizerState::Failed);
    } else if (taps >= tapsRequired_) {
        setState(GestureRecognizerState::Recognized);
    }
    // Fewer taps than required: wait in Possible for the next one.
}

void TapGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    if (state() == GestureRecognizerState::Possible) setState(GestureRecognizerState::Failed);
}

// ---- Pan ----

RT_DEFINE_CLASS(PanGestureRecognizer, GestureRecognizer, "UIPanGestureRecognizer")

namespace {

// Maps a window-space vector into `view`'s space.
cg::Point vectorInView(const GestureRecognizer& r, cg::Point from, cg::Point to, const View* view) {
    auto v = r.view();
    auto window = v ? v->window() : nullptr;
    if (!view || !window) return {to.x - from.x, to.y - from.y};
    cg::Point a = view->convertPointFromView(from, window.get());
    cg::Point b = view->convertPointFromView(to, window.get());
    return {b.x - a.x, b.y - a.y};
}

}  // namespace

cg::Point PanGestureRecognizer::translationInView(const View* view) const {
    return vectorInView(*this, start_, current_, view);
}

void PanGestureRecognizer::setTranslation(cg::Point translation, const View* view) {
    auto v = this->view();
    auto window = v ? v->window() : nullptr;
    if (!view || !window) {
        start_ = {current_.x - translation.x, current_.y - translation.y};
        return;
    }
    cg::Point currentInView = view->convertPointFromView(current_, window.get());
    start_ = view->convertPointToView({currentInView.x - translation.x, currentInView.y - translation.y}, window.get());
}

cg::Point PanGestureRecognizer::velocityInView(const View* view) const {
    return vectorInView(*this, current_, {current_.x + velocity_.dx, current_.y + velocity_.dy}, view);
}

void PanGestureRecognizer::touchesBegan(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesBegan(touches, event);
    if (state() != GestureRecognizerState::Possible) return;
    start_ = current_ = centroidInWindow();
    velocity_ = {};
    lastTime_ = event.timestamp();
}

void PanGestureRecognizer::touchesMoved(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesMoved(touches, event);
    cg::Point next = centroidInWindow();
    double dt = event.timestamp() - lastTime_;
    if (dt > 0) velocity_ = {(next.x - current_.x) / dt, (next.y - current_.y) / dt};
    lastTime_ = event.timestamp();
    current_ = next;
    size_t count = activeTouches().size();
    switch (state()) {
        case GestureRecognizerState::Possible:
            if (count >= minTouches_ && count <= maxTouches_ && distance(current_, start_) >= Hysteresis) {
                setState(GestureRecognizerState::Began);
            }
            break;
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Changed); break;
        default: break;
    }
}

void PanGestureRecognizer::touchesEnded(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesEnded(touches, event);
    if (!activeTouches().empty()) return;
    switch (state()) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Ended); break;
        case GestureRecognizerState::Possible: setState(GestureRecognizerState::Failed); break;
        default: break;
    }
}

void PanGestureRecognizer::touchesCancelled(const TouchSet& touches, Event& event) {
    GestureRecognizer::touchesCancelled(touches, event);
    switch (state()) {
        case GestureRecognizerState::Began:
        case GestureRecognizerState::Changed: setState(GestureRecognizerState::Cancelled); break;
        case GestureRecognizerState::Possible: setState(GestureRecognizerState::Failed); break;
        default: break;
    }
}

void PanGestureRecognizer::reset() {
    GestureRecognizer::reset();
    velocity_ = {};
}

}  // namespace ui
