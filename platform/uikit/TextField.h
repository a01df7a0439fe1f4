#pragma once
// Text fields: one line of editable text with a placeholder, secure entry,
// side views and a delegate that may veto each step.
//
// Nothing types here, so tests and the UI driver type as a person would:
// typeText goes through the delegate's should-change hook once per
// character (paste once for the whole text), and each accepted change
// sends editingChanged and posts the did-change notification. Typing
// appends at the end of the text. As on the platform, the first change to a
// secure field that already had text when editing began replaces all of it.
//
// Editing begins when the field becomes first responder (a tap does that),
// after asking the delegate; it shows the keyboard (Keyboard.h) and tells
// the delegate, the editingDidBegin targets and the did-begin-editing
// observers, in that order. Ending mirrors it; a field that hands the focus
// straight to another text input leaves the keyboard up. Setting the text
// in code asks and tells nobody.
//
// Main thread only.

#include <cstddef>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/Control.h"
#include "platform/uikit/TextInput.h"

namespace ui {

class Font;
class TextField;

inline constexpr const char* TextFieldTextDidBeginEditingNotification = "UITextFieldTextDidBeginEditingNotification";
inline constexpr const char* TextFieldTextDidEndEditingNotification = "UITextFieldTextDidEndEditingNotification";
inline constexpr const char* TextFieldTextDidChangeNotification = "UITextFieldTextDidChangeNotification";

enum class TextBorderStyle { None = 0, Line = 1, Bezel = 2, RoundedRect = 3 };
enum class TextFieldViewMode { Never = 0, WhileEditing = 1, UnlessEditing = 2, Always = 3 };

enum class KeyboardType {
    Default = 0,
    ASCIICapable = 1,
    NumbersAndPunctuation = 2,
    URL = 3,
    NumberPad = 4,
    PhonePad = 5,
    NamePhonePad = 6,
    EmailAddress = 7,
    DecimalPad = 8,
    Twitter = 9,
    WebSearch = 10,
    ASCIICapableNumberPad = 11,
};

enum class ReturnKeyType {
    Default = 0,
    Go = 1,
    Google = 2,
    Join = 3,
    Next = 4,
    Route = 5,
    Search = 6,
    Send = 7,
    Yahoo = 8,
    Done = 9,
    EmergencyCall = 10,
    Continue = 11,
};

// The delegate's hooks, with the platform's answers when it has none.
class TextFieldDelegate {
public:
    virtual ~TextFieldDelegate() = default;
    virtual bool textFieldShouldBeginEditing(TextField& field) {
        (void)field;
        return true;
    }
    virtual void textFieldDidBeginEditing(TextField& field) { (void)field; }
    virtual bool textFieldShouldEndEditing(TextField& field) {
        (void)field;
        return true;
    }
    virtual void textFieldDidEndEditing(TextField& field) { (void)field; }
    // `range` in UTF-16 units of the current text.
    virtual bool textFieldShouldChangeCharactersInRange(TextField& field, ns::Range range,
                                                        const ns::Ref<ns::String>& replacement) {
        (void)field;
        (void)range;
        (void)replacement;
        return true;
    }
    virtual bool textFieldShouldClear(TextField& field) {
        (void)field;
        return true;
    }
    virtual bool textFieldShouldReturn(TextField& field) {
        (void)field;
        return true;
    }
};

// Built once, in TextInput.cpp.
extern template class detail::TextInput<Control>;

class TextField : public detail::TextInput<Control> {
    RT_DECLARE_CLASS(TextField)
public:
    TextField();
    explicit TextField(const cg::Rect& frame);
    static ns::Ref<TextField> make(const cg::Rect& frame = {});

    // ---- Text ----
    // Never nil: the empty text when there is none.
    const ns::Ref<ns::String>& text() const { return storage_.text(); }
    void setText(const ns::Ref<ns::String>& text);
    void setText(std::string_view text) { setText(ns::String::make(std::string(text))); }
    void setText(std::nullptr_t) { setText(ns::Ref<ns::String>()); }
    // The attributed text as set (kept in step with typing), or the text
    // with the field's font and colour over it.
    ns::Ref<AttributedText> attributedText() const;
    void setAttributedText(const ns::Ref<ns::AttributedString>& text);
    const ns::Ref<ns::String>& placeholder() const { return placeholder_; }
    void setPlaceholder(const ns::Ref<ns::String>& placeholder);
    void setPlaceholder(std::string_view placeholder) { setPlaceholder(ns::String::make(std::string(placeholder))); }
    void setPlaceholder(std::nullptr_t) { setPlaceholder(ns::Ref<ns::String>()); }
    ns::Ref<AttributedText> attributedPlaceholder() const;
    void setAttributedPlaceholder(const ns::Ref<ns::AttributedString>& placeholder);
    // What the field shows: a bullet per character of secure text, the
    // text otherwise (the placeholder is not included).
    std::string displayedText() const;

    // ---- Style ----
    // Nil restores the system font of 17 points.
    const ns::Ref<Font>& font() const { return storage_.font(); }
    void setFont(const ns::Ref<Font>& font);
    const cg::Color& textColor() const { return storage_.color(); }
    void setTextColor(std::optional<cg::Color> color);
    TextAlignment textAlignment() const { return storage_.alignment(); }
    void setTextAlignment(TextAlignment alignment);
    TextBorderStyle borderStyle() const { return borderStyle_; }
    void setBorderStyle(TextBorderStyle style);

    // ---- Input traits ----
    bool isSecureTextEntry() const { return secure_; }
    void setSecureTextEntry(bool secure);
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType type) { keyboardType_ = type; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }

    // ---- Side views ----
    TextFieldViewMode clearButtonMode() const { return clearButtonMode_; }
    void setClearButtonMode(TextFieldViewMode mode) { clearButtonMode_ = mode; }
    // Whether the clear button shows now: its mode allows it and there is text.
    bool isClearButtonVisible() const;
    const ns::Ref<View>& leftView() const { return leftView_; }
    void setLeftView(const ns::Ref<View>& view);
    TextFieldViewMode leftViewMode() const { return leftViewMode_; }
    void setLeftViewMode(TextFieldViewMode mode);
    const ns::Ref<View>& rightView() const { return rightView_; }
    void setRightView(const ns::Ref<View>& view);
    TextFieldViewMode rightViewMode() const { return rightViewMode_; }
    void setRightViewMode(TextFieldViewMode mode);

    // ---- Delegate and editing ----
    std::shared_ptr<TextFieldDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextFieldDelegate>& delegate) { delegate_ = delegate; }
    // isEditing, becoming and resigning first responder: TextInput.h.
    bool canBecomeFirstResponder() const override { return isEnabled(); }

    // ---- Typing, as a person would ----
    // typeText, paste and deleteBackward: TextInput.h. A delete after
    // editing began again on secure text removes all of it.
    // Asks should-return; when the delegate agrees, sends
    // editingDidEndOnExit, and ends editing if anyone listens for it.
    // Returns the delegate's answer (false when not editing).
    bool pressReturn();
    // The clear button: asks should-clear, then empties the text as a
    // change. False when the button is not showing or the delegate refuses.
    bool tapClearButton();

    // ---- Geometry ----
    virtual cg::Rect textRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect editingRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect placeholderRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect leftViewRectForBounds(const cg::Rect& bounds) const;
    virtual cg::Rect rightViewRectForBounds(const cg::Rect& bounds) const;
    // One line of the text (or the placeholder, when wider) beside the side
    // views that show; the border is not drawn and adds nothing.
    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    void layoutSubviews() override;
    void drawRect(const cg::Rect& rect) override;

    void touchesEnded(const TouchSet& touches, Event* event) override;

private:
    bool sessionShouldBegin() override;
    void sessionDidBegin() override;
    bool sessionShouldEnd() override;
    void sessionDidEnd() override;
    bool shouldChangeText(ns::Range range, const ns::Ref<ns::String>& replacement) override;
    void textDidChange() override;
    void editingDidToggle() override;
    void textChanged() override;
    bool showsInMode(TextFieldViewMode mode) const;
    bool showsSideView(TextFieldViewMode mode, const ns::Ref<View>& view) const;

    ns::Ref<ns::String> placeholder_;
    ns::Ref<AttributedText> attributedPlaceholder_;
    TextBorderStyle borderStyle_ = TextBorderStyle::None;
    bool secure_ = false;
    KeyboardType keyboardType_ = KeyboardType::Default;
    ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
    TextFieldViewMode clearButtonMode_ = TextFieldViewMode::Never;
    ns::Ref<View> leftView_;
    TextFieldViewMode leftViewMode_ = TextFieldViewMode::Never;
    ns::Ref<View> rightView_;
    TextFieldViewMode rightViewMode_ = TextFieldViewMode::Never;
    std::weak_ptr<TextFieldDelegate> delegate_;
};

}  // namespace ui
