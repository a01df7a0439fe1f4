#include "platform/uikit/TextField.h"

#include <algorithm>

#include "platform/foundation/NotificationCenter.h"
#include "platform/graphics/TextMetrics.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
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

TextField::TextField() : TextField(cg::Rect{}) {}

TextField::TextField(const cg::Rect& frame) : TextInput(frame, detail::TextStorage(emptyText(), defaultFieldFont())) {
    setOpaque(false);
    setContentVerticalAlignment(ControlContentVerticalAlignment::Center);
}

ns::Ref<TextField> TextField::make(const cg::Rect& frame) { return std::make_shared<TextField>(frame); }

// ---- Text ----

void TextField::setText(const ns::Ref<ns::String>& text) {
    storage_.setText(text);
    textChanged();
}

ns::Ref<AttributedText> TextField::attributedText() const { return storage_.attributedText(); }

void TextField::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    storage_.setAttributedText(text);
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
    return AttributedText::make(placeholder_, {{FontAttributeName, font()},
                                               {ForegroundColorAttributeName, valueWithColor(PlaceholderColor)}});
}

void TextField::setAttributedPlaceholder(const ns::Ref<ns::AttributedString>& placeholder) {
    attributedPlaceholder_ = AttributedText::from(placeholder);
    placeholder_ = attributedPlaceholder_ ? attributedPlaceholder_->string() : nullptr;
    textChanged();
}

std::string TextField::displayedText() const {
    const ns::Ref<ns::String>& text = storage_.text();
    if (!secure_) return text->utf8();
    std::string out;
    for (uint64_t i = 0; i < text->length();) {
        ns::Range r = text->rangeOfComposedCharacterSequenceAtIndex(i);
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
    storage_.setFont(font);
    textChanged();
}

void TextField::setTextColor(std::optional<cg::Color> color) {
    storage_.setColor(color);
    setNeedsDisplay();
}

void TextField::setTextAlignment(TextAlignment alignment) {
    storage_.setAlignment(alignment);
    setNeedsDisplay();
}

void TextField::setBorderStyle(TextBorderStyle style) {
    borderStyle_ = style;
    setNeedsDisplay();
}

void TextField::setSecureTextEntry(bool secure) {
    secure_ = secure;
    if (!secure) setReplacesOnNextChange(false);
    textChanged();
}

// ---- Side views ----

bool TextField::showsInMode(TextFieldViewMode mode) const {
    switch (mode) {
        case TextFieldViewMode::Never: return false;
        case TextFieldViewMode::WhileEditing: return isEditing();
        case TextFieldViewMode::UnlessEditing: return !isEditing();
        case TextFieldViewMode::Always: return true;
    }
    return false;
}

bool TextField::showsSideView(TextFieldViewMode mode, const ns::Ref<View>& view) const {
    return view && showsInMode(mode);
}

bool TextField::isClearButtonVisible() const { return text()->length() > 0 && showsInMode(clearButtonMode_); }

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

bool TextField::sessionShouldBegin() {
    auto d = delegate();
    return !d || d->textFieldShouldBeginEditing(*this);
}

void TextField::sessionDidBegin() {
    // As on the platform, the first change to secure text that was already
    // there replaces all of it.
    setReplacesOnNextChange(secure_ && text()->length() > 0);
    if (auto d = delegate()) d->textFieldDidBeginEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidBegin);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidBeginEditingNotification, ref());
}

bool TextField::sessionShouldEnd() {
    auto d = delegate();
    return !d || d->textFieldShouldEndEditing(*this);
}

void TextField::sessionDidEnd() {
    if (auto d = delegate()) d->textFieldDidEndEditing(*this);
    sendActionsForControlEvents(ControlEventEditingDidEnd);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidEndEditingNotification, ref());
}

// Side views and the placeholder may show only while editing.
void TextField::editingDidToggle() {
    setNeedsLayout();
    setNeedsDisplay();
}

bool TextField::shouldChangeText(ns::Range range, const ns::Ref<ns::String>& replacement) {
    auto d = delegate();
    return !d || d->textFieldShouldChangeCharactersInRange(*this, range, replacement);
}

void TextField::textDidChange() {
    sendActionsForControlEvents(ControlEventEditingChanged);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextFieldTextDidChangeNotification, ref());
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
    storage_.replace({0, text()->length()}, "");
    setReplacesOnNextChange(false);
    textChanged();
    textDidChange();
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
    double width = TextLayout(*AttributedText::make(displayedText()), font(), 0, 1).size().width;
    if (auto placeholder = attributedPlaceholder()) {
        width = std::max(width, TextLayout(*placeholder, font(), 0, 1).size().width);
    }
    double height = font()->lineHeight();
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
    bool showPlaceholder = text()->length() == 0;
    if (showPlaceholder && !placeholder_) return;
    cg::Rect area = showPlaceholder ? placeholderRectForBounds(b) : (isEditing() ? editingRectForBounds(b)
                                                                                 : textRectForBounds(b));
    std::string shown = showPlaceholder ? placeholder_->utf8() : displayedText();
    cg::Color color = showPlaceholder ? PlaceholderColor : textColor();
    double size = font()->pointSize();
    cg::Size extent = cg::TextMetrics::measure(shown, size);
    double x = area.minX();
    if (textAlignment() == TextAlignment::Center) x += (area.width() - extent.width) / 2;
    else if (textAlignment() == TextAlignment::Right) x = area.maxX() - extent.width;
    context->saveGState();
    context->clipToRect(area);
    context->drawText(shown, {x, area.midY() - extent.height / 2}, size, color);
    context->restoreGState();
}

}  // namespace ui
