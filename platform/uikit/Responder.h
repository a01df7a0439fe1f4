#pragma once
// The responder chain: views, their controllers, windows and the application
// pass events they do not handle to their next responder. One responder at a
// time is the first responder (the one receiving typed text).
//
// Main thread only.

#include <vector>

#include "platform/runtime/Class.h"

namespace ui {

class Event;
class Touch;

using TouchSet = std::vector<ns::Ref<Touch>>;

class Responder : public ns::Object {
    RT_DECLARE_CLASS(Responder)
public:
    Responder() = default;

    virtual ns::Ref<Responder> nextResponder() const { return nullptr; }

    virtual bool canBecomeFirstResponder() const { return false; }
    virtual bool canResignFirstResponder() const { return true; }
    // Asks the current first responder to resign first; false when it
    // refuses or this responder cannot become first responder.
    virtual bool becomeFirstResponder();
    // False when this is the first responder and it may not resign; true
    // otherwise (including when it was not first responder).
    virtual bool resignFirstResponder();
    bool isFirstResponder() const;
    // The process's first responder, or nil.
    static ns::Ref<Responder> firstResponder();

    // Touches not handled here go to the next responder.
    virtual void touchesBegan(const TouchSet& touches, Event* event);
    virtual void touchesMoved(const TouchSet& touches, Event* event);
    virtual void touchesEnded(const TouchSet& touches, Event* event);
    virtual void touchesCancelled(const TouchSet& touches, Event* event);

protected:
    // Makes or clears the first responder without asking anyone.
    static void setFirstResponder(const ns::Ref<Responder>& responder);
};

}  // namespace ui
