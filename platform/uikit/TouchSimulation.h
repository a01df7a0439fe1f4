#pragma once
// Synthetic touches, delivered as a finger's would be: to the frontmost
// visible window whose hit test finds a view at the point, through its
// gesture recognizers and views. Points are in screen coordinates. Touches
// carry the clock's time unless a timestamp is given, so pans can have a
// speed without moving the clock.
//
// Main thread only.

#include <cmath>
#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Object.h"

namespace ui {

class Touch;
class View;
class Window;

// One finger, step by step.
class TouchSequence {
public:
    // Puts the finger down. A point where no window takes touches leaves the
    // sequence undelivered, and its later steps do nothing.
    explicit TouchSequence(cg::Point screenPoint, double timestamp = NAN, int tapCount = 1);

    bool isDelivered() const { return window_ != nullptr; }
    const ns::Ref<Touch>& touch() const { return touch_; }
    ns::Ref<Window> window() const { return window_; }
    // The view the touch began on.
    ns::Ref<View> view() const;

    void moveTo(cg::Point screenPoint, double timestamp = NAN);
    void moveBy(double dx, double dy, double timestamp = NAN);
    void end(double timestamp = NAN);
    void cancel(double timestamp = NAN);

private:
    void send(int phase, cg::Point screenPoint, double timestamp);

    ns::Ref<Window> window_;
    ns::Ref<Touch> touch_;
    cg::Point point_;
    bool over_ = false;
};

// Down and up at one point, `taps` times (tap counts 1, 2, ...). False when
// no window took the touch.
bool simulateTap(cg::Point screenPoint, int taps = 1);
// Down at `from`, one move per step (each offset from the previous point),
// `stepInterval` seconds apart in the touches' timestamps, then up.
void simulatePan(cg::Point from, const std::vector<cg::Vector>& steps, double stepInterval = 1.0 / 60);
// The frontmost visible window that takes touches at the point.
ns::Ref<Window> windowAtScreenPoint(cg::Point screenPoint);
// Where a point of a view lies on the screen (through its window).
cg::Point screenPoint(const View& view, cg::Point pointInView);

}  // namespace ui
