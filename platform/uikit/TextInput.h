#pragma once
// What text fields and text views share: the text they hold, the editing
// session and typing as a person would.
//
// Editing begins when the editor becomes first responder, after asking the
// editor's delegate; it shows the keyboard. Ending mirrors it, asked unless
// forced, and an editor that hands the focus straight to another text input
// leaves the keyboard up. Leaving the window ends the session too.
//
// Typing goes through the should-change question once per character (a
// paste once for the whole text) and appends at the end; each accepted
// change is announced by the editor. Setting the text in code asks and
// tells nobody.
//
// Each editor answers the questions and makes the announcements its own
// way (delegate hooks, control events, notifications) through the hooks
// below. The template is built for Control and ScrollView only, in
// TextInput.cpp, so the bodies stay out of headers.
//
// Main thread only.

#include <string_view>

#include "platform/foundation/Range.h"
#include "platform/foundation/String.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/TextInputStorage.h"

namespace ui {

class Window;

namespace detail {

// Set while a text input takes the focus, so that the one giving it up
// leaves the keyboard up.
bool& textInputTakingFocus();

template <class Base>
class TextInput : public Base {
public:
    TextInput(const cg::Rect& frame, TextStorage storage) : Base(frame), storage_(std::move(storage)) {}

    bool isEditing() const { return editing_ && this->isFirstResponder(); }
    bool becomeFirstResponder() override;
    bool resignFirstResponder() override;
    void resignFirstResponderForcibly() override;
    void willMoveToWindow(Window* newWindow) override;

    // Each begins editing first if needed, and is false when it cannot.
    // One should-change question per character; true once editing began,
    // whatever was let through.
    bool typeText(std::string_view text);
    // The whole text as one change.
    bool paste(std::string_view text);
    // Removes the last character.
    bool deleteBackward();

protected:
    bool ensureEditing();
    // Applies one change after asking; false when refused.
    bool change(ns::Range range, std::string_view replacement);
    void endEditingSession();
    // The next accepted change replaces the whole text, whatever its range;
    // the session's end forgets it.
    void setReplacesOnNextChange(bool on) { replaceOnNextChange_ = on; }

    // ---- The editor's own questions and announcements ----
    virtual bool sessionShouldBegin() = 0;
    // The session has begun; the keyboard is not up yet.
    virtual void sessionDidBegin() = 0;
    virtual bool sessionShouldEnd() = 0;
    virtual void sessionDidEnd() = 0;
    virtual bool shouldChangeText(ns::Range range, const ns::Ref<ns::String>& replacement) = 0;
    // After textChanged, for an accepted change.
    virtual void textDidChange() = 0;
    // Last of a session's start or end, once the keyboard has followed.
    virtual void editingDidToggle() {}
    // Whatever depends on the text is to be redone.
    virtual void textChanged() = 0;

    TextStorage storage_;

private:
    bool editing_ = false;
    bool replaceOnNextChange_ = false;
};

}  // namespace detail
}  // namespace ui
