#pragma once
// Touches and the events that carry them. A touch remembers the view it
// began on (found by hit testing) and the gesture recognizers that watch it;
// locations are kept in its window's coordinates.

#include <vector>

#include "platform/graphics/Geometry.h"
#include "platform/runtime/Class.h"
#include "platform/uikit/Responder.h"

namespace ui {

class GestureRecognizer;
class View;
class Window;

enum class TouchPhase { Began = 0, Moved = 1, Stationary = 2, Ended = 3, Cancelled = 4 };

class Touch : public ns::Object {
    RT_DECLARE_CLASS(Touch)
public:
    Touch() = default;

    TouchPhase phase() const { return phase_; }
    double timestamp() const { return timestamp_; }
    int tapCount() const { return tapCount_; }
    ns::Ref<View> view() const;
    ns::Ref<Window> window() const;
    // In `view`'s space; nil: the window's.
    cg::Point locationInView(const View* view) const;
    cg::Point previousLocationInView(const View* view) const;
    std::vector<ns::Ref<GestureRecognizer>> gestureRecognizers() const;

    // For whoever synthesises touches: a new touch in `window`, then its
    // moves. The previous location follows along.
    void begin(const ns::Ref<Window>& window, cg::Point locationInWindow, double timestamp, int tapCount = 1);
    void update(TouchPhase phase, cg::Point locationInWindow, double timestamp);

private:
    friend class Window;

    TouchPhase phase_ = TouchPhase::Began;
    double timestamp_ = 0;
    int tapCount_ = 1;
    cg::Point location_;
    cg::Point previous_;
    ns::Weak<View> view_;
    ns::Weak<Window> window_;
    std::vector<ns::Weak<GestureRecognizer>> recognizers_;
    bool viewBegan_ = false;      // the view heard touchesBegan
    bool takenFromView_ = false;  // a recognizer cancelled it for the view
};

enum class EventType { Touches = 0, Motion = 1, RemoteControl = 2, Presses = 3 };

class Event : public ns::Object {
    RT_DECLARE_CLASS(Event)
public:
    Event() = default;
    explicit Event(TouchSet touches, double timestamp) : touches_(std::move(touches)), timestamp_(timestamp) {}

    EventType type() const { return EventType::Touches; }
    double timestamp() const { return timestamp_; }
    const TouchSet& allTouches() const { return touches_; }
    TouchSet touchesForView(const View* view) const;
    TouchSet touchesForWindow(const Window* window) const;
    TouchSet touchesForGestureRecognizer(const GestureRecognizer* recognizer) const;

private:
    TouchSet touches_;
    double timestamp_ = 0;
};

}  // namespace ui
