#include "platform/uikit/TextField.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/TextMetrics.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Touch.h"

namespace ui {

namespace {

rt::Property textProperty(const char* name, const ns::Ref<ns::String>& (TextField::*get)() const,
                          void (TextField::*set)(const ns::Ref<ns::String>&)) {
    rt::Property p;
    p.name = name;
    p.typeCode = "@\"NSString\"";
    p.kind = rt::ValueKind::Object;
    p.flags = "C";
    p.objectClass = [] { return ns::String::staticClass(); };
    p.get = [get](const ns::Object& o) -> rt::Value { return ns::Id((static_cast<const TextField&>(o).*get)()); };
    p.set = [set](ns::Object& o, const rt::Value& v) {
        if (std::holds_alternative<std::monostate>(v)) {
            (static_cast<TextField&>(o).*set)(nullptr);
            return true;
        }
        auto id = std::get_if<ns::Id>(&v);
        if (!id) return false;
        auto text = ns::cast<ns::String>(*id);
        if (*id && !text) return false;
        (static_cast<TextField&>(o).*set)(text);
        return true;
    };
    return p;
}

const ns::Ref<Font>& defaultFieldFont() {
    static const ns::Ref<Font> font = Font::systemFontOfSize(17);
    return font;
}

const ns::Ref<ns::String>& emptyText() {
    static const ns::Ref<ns::String> empty = ns::String::make("");
    return empty;
}

// The platform's placeholder grey.
constexpr cg::Color PlaceholderColor{0.7, 0.7, 0.7, 1};

// U+2022, one per character of secure text.
constexpr const char* Bullet = "\xE2\x80\xA2";

}  // namespace

RT_DEFINE_CLASS(TextField, Control, "UITextField", textProperty("text", &TextField::text, &TextField::setText),
                textProperty("placeholder", &TextField::placeholder, &TextField::setPlaceholder))

bool& detail::textInputTakingFocus() {
    static bool taking = false;
    return taking;
}

TextField::TextField() : TextField(cg::Rect{}) {}

TextField::TextField(const cg::Rect& frame)
    : Control(frame), text_(emptyText()), font_(defaultFieldFont()), textColor_(blackColor()) {
    setOpaque(false);
    setContentVerticalAlignment(ControlContentVerticalAlignment::Center);
}

ns::Ref<TextField> TextField::make(const cg::Rect& frame) { return std::make_shared<TextField>(frame); }

// ---- Text ----

void TextField::setText(const ns::Ref<ns::String>& text) {
    text_ = text ? std::static_pointer_cast<ns::String>(text->copy()) : emptyText();
    attributed_ = nullptr;
    textChanged();
}

ns::Ref<AttributedText> TextField::attributedText() const {
    if (attributed_) return std::static_pointer_cast<AttributedText>(attributed_->copy());
    return AttributedText::make(text_, {{FontAttributeName, font_},
                                        {ForegroundColorAttributeName, valueWithColor(textColor_)}});
}

void TextField::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    attributed_ = AttributedText::from(text);
    text_ = attributed_ ? attributed_->string() : emptyText();
    textChanged();
}

void TextField::setPlaceholder(const ns::Ref<ns::String>& placeholder) {
    placeholder_ = placeholder ? std::static_pointer_cast<ns::String>(placeholder->copy()) : nullptr;
    attributedPlaceholder_ = nullptr;
    textChanged();
}

ns::Ref<AttributedText> TextField::attributedPlaceholder() const {
    if (attributedPlaceholder_) return std::static_pointer_cast<AttributedText>(attributedPlaceholder_->copy());
    if (!placeholder_) return nullptr;
    return AttributedText::make(placeholder_, {{FontAttributeName, font_},
                                               {ForegroundColorAttributeName, valueWithColor(PlaceholderColor)}});
}

void TextField::setAttributedPlaceholder(const ns::Ref<ns::AttributedString>& placeholder) {
    attributedPlaceholder_ = AttributedText::from(placeholder);
    placeholder_ = attributedPlaceholder_ ? attributedPlaceholder_->string() : nullptr;
    textChanged();
}

std::string TextField::displayedText() const {
    if (!secure_) return text_->utf8();
    std::string out;
    for (uint64_t i = 0; i < text_->length();) {
        ns::Range r = text_->rangeOfComposedCharacterSequenceAtIndex(i);
        out += Bullet;
        i = r.end() > i ? r.end() : i + 1;
    }
    return out;
}

void TextField::textChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
    setNeedsLayout();
}

// ---- Style ----

void TextField::setFont(const ns::Ref<Font>& font) {
    font_ = font ? font : defaultFieldFont();
    if (attributed_ && attributed_->length() > 0) {
        attributed_->addAttribute(FontAttributeName, font_, {0, attributed_->length()});
    }
    textChanged();
}

void TextField::setTextColor(std::optional<cg::Color> color) {
    textColor_ = color.value_or(blackColor());
    setNeedsDisplay();
}

void TextField::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void TextField::setBorderStyle(TextBorderStyle style) {
    borderStyle_ = style;
    setNeedsDisplay();
}

void TextField::setSecureTextEntry(bool secure) {
    secure_ = secure;
    if (!secure) replaceOnNextChange_ = false;
    textChanged();
}

// ---- Side views ----

bool TextField::showsSideView(TextFieldViewMode mode, const ns::Ref<View>& view) const {
    if (!view) return false;
    switch (mode) {
        case TextFieldViewMode::Never: return false;
        case TextFieldViewMode::WhileEditing: return isEditing();
        case TextFieldViewMode::UnlessEditing: return !isEditing();
        case TextFieldViewMode::Always: return true;
    }
    return false;
}

bool TextField::isClearButtonVisible() const {
    if (text_->length() == 0) return false;
    switch (clearButtonMode_) {
        case TextFieldViewMode::Never: return false;
        case TextFieldViewMode::WhileEditing: return isEditing();
        case TextFieldViewMode::UnlessEditing: return !isEditing();
        case TextFieldViewMode::Always: return true;
    }
    return false;
}

void TextField::setLeftView(const ns::Ref<View>& view) {
    if (leftView_ && leftView_ != view && leftView_->superview().get() == this) leftView_->removeFromSuperview();
    leftView_ = view;
    textChanged();
}

void TextField::setLeftViewMode(TextFieldViewMode mode) {
    leftViewMode_ = mode;
    textChanged();
}

void TextField::setRightView(const ns::Ref<View>& view) {
    if (rightView_ && rightView_ != view && rightView_->superview().get() == this) rightView_->removeFromSuperview();
    rightView_ = view;
    textChanged();
}

void TextField::setRightViewMode(TextFieldViewMode mode) {
    rightViewMode_ = mode;
    textChanged();
}

// ---- Editing ----

bool TextField::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder() || !window()) return false;
    auto keep = ref<TextField>();
    if (auto d = delegate(); d && !d->textFieldShouldBeginEditing(*this)) return false;
    bool& taking = detail::textInputTakingFocus();
    bool wasTaking = taking;
    taking = true;
    bool became = Control::becomeFirstResponder();
    taking = wasTaking;
    if (!became) return false;
    editing_ = true;
    replaceOnNextChange_ = secure_ && text_->length() > 0;
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidBeginEditingNotification, keep);
    Keyboard::simulateShow();
    setNeedsLayout();
    setNeedsDisplay();
    return true;
}

bool TextField::resignFirstResponder() {
    if (!isFirstResponder()) return Control::resignFirstResponder();
    auto keep = ref<TextField>();
    if (auto d = delegate(); d && !d->textFieldShouldEndEditing(*this)) return false;
    if (!Control::resignFirstResponder()) return false;
    endEditingSession();
    return true;
}

void TextField::resignFirstResponderForcibly() {
    if (!isFirstResponder()) return;
    auto keep = ref<TextField>();
    if (!Control::resignFirstResponder() && isFirstResponder()) setFirstResponder(nullptr);
    endEditingSession();
}

void TextField::endEditingSession() {
    if (!editing_) return;
    auto keep = ref<TextField>();
    editing_ = false;
    replaceOnNextChange_ = false;
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidEndEditingNotification, keep);
    if (!detail::textInputTakingFocus()) Keyboard::simulateHide();
    setNeedsLayout();
    setNeedsDisplay();
}

void TextField::willMoveToWindow(Window* newWindow) {
    Control::willMoveToWindow(newWindow);
    // The view has already let go of the focus; the session ends with it.
    if (!newWindow && editing_) endEditingSession();
}

bool TextField::ensureEditing() { return isEditing() || becomeFirstResponder(); }

bool TextField::change(ns::Range range, std::string_view replacement) {
    auto keep = ref<TextField>();
    if (replaceOnNextChange_) range = {0, text_->length()};
    auto inserted = ns::String::make(std::string(replacement));
    if (auto d = delegate(); d && !d->textFieldShouldChangeCharactersInRange(*this, range, inserted)) return false;
    replaceOnNextChange_ = false;
    auto updated = ns::MutableString::make(text_->utf8());
    updated->replaceCharactersInRange(range, replacement);
    text_ = ns::String::make(updated->utf8());
    if (attributed_) attributed_->replaceCharactersInRange(range, replacement);
    textChanged();
    sendActionsForControlEvents(ControlEventEditingChanged);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidChangeNotification, keep);
    return true;
}

bool TextField::typeText(std::string_view text) {
    if (!ensureEditing()) return false;
    auto typed = ns::String::make(std::string(text));
    for (uint64_t i = 0; i < typed->length();) {
        ns::Range character = typed->rangeOfComposedCharacterSequenceAtIndex(i);
        if (character.end() <= i) character = {i, 1};
        change({text_->length(), 0}, typed->substringWithRange(character)->utf8());
        // The delegate may have ended editing.
        if (!isEditing()) break;
        i = character.end();
    }
    return true;
}

bool TextField::paste(std::string_view text) {
    if (!ensureEditing()) return false;
    if (!text.empty()) change({text_->length(), 0}, text);
    return true;
}

bool TextField::deleteBackward() {
    if (!ensureEditing()) return false;
    uint64_t length = text_->length();
    if (length == 0) return true;
    change(text_->rangeOfComposedCharacterSequenceAtIndex(length - 1), "");
    return true;
}

bool TextField::pressReturn() {
    if (!isEditing()) return false;
    auto keep = ref<TextField>();
    if (auto d = delegate(); d && !d->textFieldShouldReturn(*this)) return false;
    bool listened = allControlEvents() & ControlEventEditingDidEndOnExit;
    sendActionsForControlEvents(ControlEventEditingDidEndOnExit);
    if (listened && isFirstResponder()) resignFirstResponder();
    return true;
}

bool TextField::tapClearButton() {
    if (!isClearButtonVisible()) return false;
    auto keep = ref<TextField>();
    if (auto d = delegate(); d && !d->textFieldShouldClear(*this)) return false;
    if (!isEditing() && !becomeFirstResponder()) return false;
    text_ = emptyText();
    if (attributed_) attributed_->replaceCharactersInRange({0, attributed_->length()}, "");
    replaceOnNextChange_ = false;
    textChanged();
    sendActionsForControlEvents(ControlEventEditingChanged);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidChangeNotification, keep);
    return true;
}

void TextField::touchesEnded(const TouchSet& touches, Event* event) {
    bool tapped = isEnabled() && !touches.empty() && bounds().containsPoint(touches.front()->locationInView(this));
    Control::touchesEnded(touches, event);
    if (tapped && !isEditing()) becomeFirstResponder();
}

// ---- Geometry ----

cg::Rect TextField::leftViewRectForBounds(const cg::Rect& bounds) const {
    if (!leftView_) return {};
    cg::Size size = leftView_->frame().size;
    return {bounds.minX(), bounds.midY() - size.height / 2, size.width, size.height};
}

cg::Rect TextField::rightViewRectForBounds(const cg::Rect& bounds) const {
    if (!rightView_) return {};
    cg::Size size = rightView_->frame().size;
    return {bounds.maxX() - size.width, bounds.midY() - size.height / 2, size.width, size.height};
}

cg::Rect TextField::textRectForBounds(const cg::Rect& bounds) const {
    cg::Rect rect = bounds.standardized();
    if (showsSideView(leftViewMode_, leftView_)) {
        double w = leftViewRectForBounds(bounds).width();
        rect.origin.x += w;
        rect.size.width -= w;
    }
    if (showsSideView(rightViewMode_, rightView_)) rect.size.width -= rightViewRectForBounds(bounds).width();
    rect.size.width = std::max(0.0, rect.size.width);
    return rect;
}

cg::Rect TextField::editingRectForBounds(const cg::Rect& bounds) const { return textRectForBounds(bounds); }

cg::Rect TextField::placeholderRectForBounds(const cg::Rect& bounds) const { return textRectForBounds(bounds); }

cg::Size TextField::sizeThatFits(cg::Size) const {
    double width = TextLayout(*AttributedText::make(displayedText()), font_, 0, 1).size().width;
    if (auto placeholder = attributedPlaceholder()) {
        width = std::max(width, TextLayout(*placeholder, font_, 0, 1).size().width);
    }
    double height = font_->lineHeight();
    for (const auto& [mode, view] : {std::pair{leftViewMode_, leftView_}, std::pair{rightViewMode_, rightView_}}) {
        if (!showsSideView(mode, view)) continue;
        width += view->frame().width();
        height = std::max(height, view->frame().height());
    }
    return {width, height};
}

cg::Size TextField::intrinsicContentSize() const { return sizeThatFits({}); }

void TextField::layoutSubviews() {
    Control::layoutSubviews();
    cg::Rect b = bounds();
    auto place = [&](const ns::Ref<View>& view, TextFieldViewMode mode, const cg::Rect& rect) {
        if (!view) return;
        if (showsSideView(mode, view)) {
            if (view->superview().get() != this) addSubview(view);
            view->setFrame(rect);
        } else if (view->superview().get() == this) {
            view->removeFromSuperview();
        }
    };
    place(leftView_, leftViewMode_, leftViewRectForBounds(b));
    place(rightView_, rightViewMode_, rightViewRectForBounds(b));
}

void TextField::drawRect(const cg::Rect&) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context) return;
    cg::Rect b = bounds();
    bool showPlaceholder = text_->length() == 0;
    if (showPlaceholder && !placeholder_) return;
    cg::Rect area = showPlaceholder ? placeholderRectForBounds(b) : (isEditing() ? editingRectForBounds(b)
                                                                                 : textRectForBounds(b));
    std::string shown = showPlaceholder ? placeholder_->utf8() : displayedText();
    cg::Color color = showPlaceholder ? PlaceholderColor : textColor_;
    double size = font_->pointSize();
    cg::Size extent = cg::TextMetrics::measure(shown, size);
    double x = area.minX();
    if (alignment_ == TextAlignment::Center) x += (area.width() - extent.width) / 2;
    else if (alignment_ == TextAlignment::Right) x = area.maxX() - extent.width;
    context->saveGState();
    context->clipToRect(area);
    context->drawText(shown, {x, area.midY() - extent.height / 2}, size, color);
    context->restoreGState();
}

}  // namespace ui
