#include "platform/uikit/TextInput.h"

#include "platform/uikit/Control.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/ScrollView.h"

namespace ui::detail {

bool& textInputTakingFocus() {
    static bool taking = false;
    return taking;
}

template <class Base>
bool TextInput<Base>::becomeFirstResponder() {
    if (this->isFirstResponder()) return true;
    if (!this->canBecomeFirstResponder() || !this->window()) return false;
    auto keep = this->ref();
    if (!sessionShouldBegin()) return false;
    bool& taking = textInputTakingFocus();
    bool wasTaking = taking;
    taking = true;
    bool became = Base::becomeFirstResponder();
    taking = wasTaking;
    if (!became) return false;
    editing_ = true;
    sessionDidBegin();
    Keyboard::simulateShow();
    editingDidToggle();
    return true;
}

template <class Base>
bool TextInput<Base>::resignFirstResponder() {
    if (!this->isFirstResponder()) return Base::resignFirstResponder();
    auto keep = this->ref();
    if (!sessionShouldEnd()) return false;
    if (!Base::resignFirstResponder()) return false;
    endEditingSession();
    return true;
}

template <class Base>
void TextInput<Base>::resignFirstResponderForcibly() {
    if (!this->isFirstResponder()) return;
    auto keep = this->ref();
    if (!Base::resignFirstResponder() && this->isFirstResponder()) Base::setFirstResponder(nullptr);
    endEditingSession();
}

template <class Base>
void TextInput<Base>::endEditingSession() {
    if (!editing_) return;
    auto keep = this->ref();
    editing_ = false;
    replaceOnNextChange_ = false;
    sessionDidEnd();
    if (!textInputTakingFocus()) Keyboard::simulateHide();
    editingDidToggle();
}

template <class Base>
void TextInput<Base>::willMoveToWindow(Window* newWindow) {
    Base::willMoveToWindow(newWindow);
    // The view has already let go of the focus; the session ends with it.
    if (!newWindow && editing_) endEditingSession();
}

template <class Base>
bool TextInput<Base>::ensureEditing() {
    return isEditing() || becomeFirstResponder();
}

template <class Base>
bool TextInput<Base>::change(ns::Range range, std::string_view replacement) {
    auto keep = this->ref();
    if (replaceOnNextChange_) range = {0, storage_.text()->length()};
    if (!shouldChangeText(range, ns::String::make(std::string(replacement)))) return false;
    replaceOnNextChange_ = false;
    storage_.replace(range, replacement);
    textChanged();
    textDidChange();
    return true;
}

template <class Base>
bool TextInput<Base>::typeText(std::string_view text) {
    if (!ensureEditing()) return false;
    auto typed = ns::String::make(std::string(text));
    for (uint64_t i = 0; i < typed->length();) {
        ns::Range character = typed->rangeOfComposedCharacterSequenceAtIndex(i);
        if (character.end() <= i) character = {i, 1};
        change({storage_.text()->length(), 0}, typed->substringWithRange(character)->utf8());
        // The delegate may have ended editing.
        if (!isEditing()) break;
        i = character.end();
    }
    return true;
}

template <class Base>
bool TextInput<Base>::paste(std::string_view text) {
    if (!ensureEditing()) return false;
    if (!text.empty()) change({storage_.text()->length(), 0}, text);
    return true;
}

template <class Base>
bool TextInput<Base>::deleteBackward() {
    if (!ensureEditing()) return false;
    uint64_t length = storage_.text()->length();
    if (length > 0) change(storage_.text()->rangeOfComposedCharacterSequenceAtIndex(length - 1), "");
    return true;
}

template class TextInput<Control>;
template class TextInput<ScrollView>;

}  // namespace ui::detail
