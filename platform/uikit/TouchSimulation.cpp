#include "platform/uikit/TouchSimulation.h"

#include "platform/dispatch/Clock.h"
#include "platform/uikit/Animation.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/Touch.h"
#include "platform/uikit/Window.h"

namespace ui {

namespace {

double stamp(double timestamp) { return std::isnan(timestamp) ? mediaTime() : timestamp; }

cg::Point toWindow(const Window& window, cg::Point screenPoint) {
    return window.layer()->pointFromSuperlayer(screenPoint);
}

}  // namespace

ns::Ref<Window> windowAtScreenPoint(cg::Point screenPoint) {
    auto windows = Application::sharedApplication()->windows();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        const auto& window = *it;
        if (window->isHidden()) continue;
        if (window->hitTest(toWindow(*window, screenPoint), nullptr)) return window;
    }
    return nullptr;
}

cg::Point screenPoint(const View& view, cg::Point pointInView) {
    auto window = view.window();
    if (!window) return view.convertPointToView(pointInView, nullptr);
    cg::Point inWindow = view.convertPointToView(pointInView, window.get());
    return window->layer()->pointToSuperlayer(inWindow);
}

TouchSequence::TouchSequence(cg::Point screenPoint, double timestamp, int tapCount) : point_(screenPoint) {
    window_ = windowAtScreenPoint(screenPoint);
    if (!window_) return;
    touch_ = std::make_shared<Touch>();
    double t = stamp(timestamp);
    touch_->begin(window_, toWindow(*window_, screenPoint), t, tapCount);
    Event event({touch_}, t);
    window_->sendEvent(event);
}

ns::Ref<View> TouchSequence::view() const { return touch_ ? touch_->view() : nullptr; }

void TouchSequence::send(int phase, cg::Point screenPoint, double timestamp) {
    if (!window_ || over_) return;
    double t = stamp(timestamp);
    point_ = screenPoint;
    touch_->update(TouchPhase(phase), toWindow(*window_, screenPoint), t);
    if (phase == int(TouchPhase::Ended) || phase == int(TouchPhase::Cancelled)) over_ = true;
    auto keep = window_;
    Event event({touch_}, t);
    keep->sendEvent(event);
}

void TouchSequence::moveTo(cg::Point screenPoint, double timestamp) {
    send(int(TouchPhase::Moved), screenPoint, timestamp);
}

void TouchSequence::moveBy(double dx, double dy, double timestamp) {
    moveTo({point_.x + dx, point_.y + dy}, timestamp);
}

void TouchSequence::end(double timestamp) { send(int(TouchPhase::Ended), point_, timestamp); }

void TouchSequence::cancel(double timestamp) { send(int(TouchPhase::Cancelled), point_, timestamp); }

bool simulateTap(cg::Point screenPoint, int taps) {
    bool delivered = false;
    for (int i = 1; i <= taps; ++i) {
        TouchSequence touch(screenPoint, NAN, i);
        if (!touch.isDelivered()) return delivered;
        delivered = true;
        touch.end();
    }
    return delivered;
}

void simulatePan(cg::Point from, const std::vector<cg::Vector>& steps, double stepInterval) {
    // The n-th move at start + round(n x interval) on the clock's ticks, not
    // a sum of steps in double seconds.
    dispatch::TimeTicks start = dispatch::nowTicks();
    double t = start.inSeconds();
    TouchSequence touch(from, t);
    cg::Point p = from;
    uint64_t n = 0;
    for (const auto& step : steps) {
        t = (start + dispatch::TimeDelta::fromSecondsTimes(stepInterval, ++n)).inSeconds();
        p = {p.x + step.dx, p.y + step.dy};
        touch.moveTo(p, t);
    }
    touch.end(t);
}

}  // namespace ui
