#include "platform/uikit/Responder.h"

namespace ui {

RT_DEFINE_CLASS(Responder, ns::Object, "UIResponder")

namespace {

ns::Weak<Responder>& current() {
    static ns::Weak<Responder> responder;
    return responder;
}

}  // namespace

ns::Ref<Responder> Responder::firstResponder() { return current().lock(); }

void Responder::setFirstResponder(const ns::Ref<Responder>& responder) { current() = responder; }

bool Responder::isFirstResponder() const { return current().lock().get() == this; }

bool Responder::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder()) return false;
    if (auto previous = firstResponder()) {
        if (!previous->resignFirstResponder()) return false;
        // A resign that did not clear itself still hands over.
        if (previous->isFirstResponder()) setFirstResponder(nullptr);
    }
    setFirstResponder(ref<Responder>());
    return true;
}

bool Responder::resignFirstResponder() {
    if (!isFirstResponder()) return true;
    if (!canResignFirstResponder()) return false;
    setFirstResponder(nullptr);
    return true;
}

void Responder::touchesBegan(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesBegan(touches, event);
}

void Responder::touchesMoved(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesMoved(touches, event);
}

void Responder::touchesEnded(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesEnded(touches, event);
}

void Responder::touchesCancelled(const TouchSet& touches, Event* event) {
    if (auto next = nextResponder()) next->touchesCancelled(touches, event);
}

}  // namespace ui
