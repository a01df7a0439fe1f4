#include "platform/uikit/Touch.h"

#include <algorithm>

#include "platform/uikit/GestureRecognizer.h"
#include "platform/uikit/Window.h"

namespace ui {

RT_DEFINE_CLASS(Touch, ns::Object, "UITouch")
RT_DEFINE_CLASS(Event, ns::Object, "UIEvent")

ns::Ref<View> Touch::view() const { return view_.lock(); }

ns::Ref<Window> Touch::window() const { return window_.lock(); }

cg::Point Touch::locationInView(const View* view) const {
    auto w = window();
    if (!view || !w || view == w.get()) return location_;
    return view->convertPointFromView(location_, w.get());
}

cg::Point Touch::previousLocationInView(const View* view) const {
    auto w = window();
    if (!view || !w || view == w.get()) return previous_;
    return view->convertPointFromView(previous_, w.get());
}

std::vector<ns::Ref<GestureRecognizer>> Touch::gestureRecognizers() const {
    std::vector<ns::Ref<GestureRecognizer>> out;
    for (const auto& w : recognizers_) {
        if (auto r = w.lock()) out.push_back(r);
    }
    return out;
}

void Touch::begin(const ns::Ref<Window>& window, cg::Point locationInWindow, double timestamp, int tapCount) {
    window_ = window;
    view_.reset();
    recognizers_.clear();
    viewBegan_ = false;
    takenFromView_ = false;
    phase_ = TouchPhase::Began;
    location_ = previous_ = locationInWindow;
    timestamp_ = timestamp;
    tapCount_ = tapCount;
}

void Touch::update(TouchPhase phase, cg::Point locationInWindow, double timestamp) {
    phase_ = phase;
    previous_ = location_;
    location_ = locationInWindow;
    timestamp_ = timestamp;
}

TouchSet Event::touchesForView(const View* view) const {
    TouchSet out;
    for (const auto& t : touches_) {
        if (t->view().get() == view) out.push_back(t);
    }
    return out;
}

TouchSet Event::touchesForWindow(const Window* window) const {
    TouchSet out;
    for (const auto& t : touches_) {
        if (t->window().get() == window) out.push_back(t);
    }
    return out;
}

TouchSet Event::touchesForGestureRecognizer(const GestureRecognizer* recognizer) const {
    TouchSet out;
    for (const auto& t : touches_) {
        auto list = t->gestureRecognizers();
        if (std::any_of(list.begin(), list.end(), [&](const auto& r) { return r.get() == recognizer; })) {
            out.push_back(t);
        }
    }
    return out;
}

}  // namespace ui
