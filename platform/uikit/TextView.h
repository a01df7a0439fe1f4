#pragma once
// Text views: multi-line text, editable or read-only, with links.
//
// Editing works as in text fields (TextInput.h): it begins when the view
// becomes first responder (editable views only; a tap does that), shows the
// keyboard, and typeText goes through the delegate's should-change hook
// once per character, each accepted change telling the delegate's
// did-change hook and the did-change observers. A return is just the
// character "\n". A drag scrolls instead of beginning editing.
//
// A tap on a link (the link attribute, a URL or its text) of a selectable
// view that is not editable asks the delegate whether to interact, then
// opens the URL through the application. Data detector types are kept for
// callers; the text is not scanned for them.
//
// The text lies in the bounds inset by textContainerInset, with the
// container's 5-point line-fragment padding on each side; it wraps at that
// width. A text view is a scroll view, as on the platform, but its content
// size is left to callers: the text's height is what sizeThatFits reports.
//
// Main thread only.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/foundation/URL.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/ScrollView.h"
#include "platform/uikit/TextField.h"
#include "platform/uikit/TextInput.h"

namespace ui {

class Font;
class TextView;

inline constexpr const char* TextViewTextDidBeginEditingNotification = "UITextViewTextDidBeginEditingNotification";
inline constexpr const char* TextViewTextDidEndEditingNotification = "UITextViewTextDidEndEditingNotification";
inline constexpr const char* TextViewTextDidChangeNotification = "UITextViewTextDidChangeNotification";

enum DataDetectorTypes : uint64_t {
    DataDetectorTypeNone = 0,
    DataDetectorTypePhoneNumber = 1 << 0,
    DataDetectorTypeLink = 1 << 1,
    DataDetectorTypeAddress = 1 << 2,
    DataDetectorTypeCalendarEvent = 1 << 3,
    DataDetectorTypeShipmentTrackingNumber = 1 << 4,
    DataDetectorTypeFlightNumber = 1 << 5,
    DataDetectorTypeLookupSuggestion = 1 << 6,
    DataDetectorTypeAll = UINT64_MAX,
};

enum class TextItemInteraction { InvokeDefaultAction = 0, PresentActions = 1, Preview = 2 };

class TextViewDelegate {
public:
    virtual ~TextViewDelegate() = default;
    virtual bool textViewShouldBeginEditing(TextView& view) {
        (void)view;
        return true;
    }
    virtual void textViewDidBeginEditing(TextView& view) { (void)view; }
    virtual bool textViewShouldEndEditing(TextView& view) {
        (void)view;
        return true;
    }
    virtual void textViewDidEndEditing(TextView& view) { (void)view; }
    virtual bool textViewShouldChangeTextInRange(TextView& view, ns::Range range, const ns::Ref<ns::String>& replacement) {
        (void)view;
        (void)range;
        (void)replacement;
        return true;
    }
    virtual void textViewDidChange(TextView& view) { (void)view; }
    virtual bool textViewShouldInteractWithURL(TextView& view, const ns::Ref<ns::URL>& url, ns::Range range,
                                               TextItemInteraction interaction) {
        (void)view;
        (void)url;
        (void)range;
        (void)interaction;
        return true;
    }
};

// Built once, in TextInput.cpp.
extern template class detail::TextInput<ScrollView>;

// Its delegate is a text view delegate: the scroll view's delegate() and
// setDelegate are hidden, and no scroll view delegate is set.
class TextView : public detail::TextInput<ScrollView> {
    RT_DECLARE_CLASS(TextView)
public:
    TextView();
    explicit TextView(const cg::Rect& frame);
    static ns::Ref<TextView> make(const cg::Rect& frame = {});

    // ---- Text ----
    // Never nil.
    const ns::Ref<ns::String>& text() const { return storage_.text(); }
    void setText(const ns::Ref<ns::String>& text);
    void setText(std::string_view text) { setText(ns::String::make(std::string(text))); }
    void setText(std::nullptr_t) { setText(ns::Ref<ns::String>()); }
    ns::Ref<AttributedText> attributedText() const;
    void setAttributedText(const ns::Ref<ns::AttributedString>& text);

    // Nil restores the system font of 12 points.
    const ns::Ref<Font>& font() const { return storage_.font(); }
    void setFont(const ns::Ref<Font>& font);
    const cg::Color& textColor() const { return storage_.color(); }
    void setTextColor(std::optional<cg::Color> color);
    TextAlignment textAlignment() const { return storage_.alignment(); }
    void setTextAlignment(TextAlignment alignment);
    // How links are drawn (a colour under the foreground colour key).
    const TextAttributes& linkTextAttributes() const { return linkTextAttributes_; }
    void setLinkTextAttributes(TextAttributes attributes);

    bool isEditable() const { return editable_; }
    // Ends editing when turned off.
    void setEditable(bool editable);
    bool isSelectable() const { return selectable_; }
    void setSelectable(bool selectable) { selectable_ = selectable; }
    uint64_t dataDetectorTypes() const { return dataDetectorTypes_; }
    void setDataDetectorTypes(uint64_t types) { dataDetectorTypes_ = types; }
    const cg::EdgeInsets& textContainerInset() const { return textContainerInset_; }
    void setTextContainerInset(const cg::EdgeInsets& insets);
    static constexpr double LineFragmentPadding = 5;
    KeyboardType keyboardType() const { return keyboardType_; }
    void setKeyboardType(KeyboardType type) { keyboardType_ = type; }
    ReturnKeyType returnKeyType() const { return returnKeyType_; }
    void setReturnKeyType(ReturnKeyType type) { returnKeyType_ = type; }

    // ---- Delegate and editing ----
    std::shared_ptr<TextViewDelegate> delegate() const { return delegate_.lock(); }
    void setDelegate(const std::shared_ptr<TextViewDelegate>& delegate) { delegate_ = delegate; }
    // isEditing, becoming and resigning first responder, and typing
    // (typeText, paste, deleteBackward): TextInput.h.
    bool canBecomeFirstResponder() const override { return editable_; }

    // ---- Links ----
    // The UTF-16 index of the character boundary nearest to a point in the
    // view's space.
    uint64_t closestIndexToPoint(cg::Point point) const;
    // Interacts with the link on the character at the index, if any: asks
    // the delegate, then opens it. True when there was a link there.
    bool interactWithLinkAtIndex(uint64_t index);

    // ---- Geometry ----
    // The text's height (at least one line) plus the insets, at the offered
    // width (or the text's own width when none is offered).
    cg::Size sizeThatFits(cg::Size size) const override;
    void drawRect(const cg::Rect& rect) override;

    // Touches stop here: a tap edits, or follows a link.
    void touchesBegan(const TouchSet& touches, Event* event) override;
    void touchesMoved(const TouchSet& touches, Event* event) override;
    void touchesEnded(const TouchSet& touches, Event* event) override;
    void touchesCancelled(const TouchSet& touches, Event* event) override;

private:
    bool sessionShouldBegin() override;
    void sessionDidBegin() override;
    bool sessionShouldEnd() override;
    void sessionDidEnd() override;
    bool shouldChangeText(ns::Range range, const ns::Ref<ns::String>& replacement) override;
    void textDidChange() override;
    void textChanged() override;
    cg::Rect textArea() const;

    TextAttributes linkTextAttributes_;
    bool editable_ = true;
    bool selectable_ = true;
    uint64_t dataDetectorTypes_ = DataDetectorTypeNone;
    cg::EdgeInsets textContainerInset_{8, 0, 8, 0};
    KeyboardType keyboardType_ = KeyboardType::Default;
    ReturnKeyType returnKeyType_ = ReturnKeyType::Default;
    std::weak_ptr<TextViewDelegate> delegate_;
};

}  // namespace ui
