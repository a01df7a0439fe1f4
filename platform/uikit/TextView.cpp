#include "platform/uikit/TextView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Keyboard.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(TextView, View, "UITextView")

namespace {

const ns::Ref<Font>& defaultTextViewFont() {
    static const ns::Ref<Font> font = Font::systemFontOfSize(12);
    return font;
}

const ns::Ref<ns::String>& emptyText() {
    static const ns::Ref<ns::String> empty = ns::String::make("");
    return empty;
}

ns::Ref<ns::URL> linkURL(const ns::Id& value) {
    if (auto url = ns::cast<ns::URL>(value)) return url;
    if (auto text = ns::cast<ns::String>(value)) return ns::URL::make(text->utf8());
    return nullptr;
}

}  // namespace

TextView::TextView() : TextView(cg::Rect{}) {}

TextView::TextView(const cg::Rect& frame)
    : View(frame), text_(emptyText()), font_(defaultTextViewFont()), textColor_(blackColor()) {}

ns::Ref<TextView> TextView::make(const cg::Rect& frame) { return std::make_shared<TextView>(frame); }

// ---- Text ----

void TextView::setText(const ns::Ref<ns::String>& text) {
    text_ = text ? std::static_pointer_cast<ns::String>(text->copy()) : emptyText();
    attributed_ = nullptr;
    textChanged();
}

ns::Ref<AttributedText> TextView::attributedText() const {
    if (attributed_) return std::static_pointer_cast<AttributedText>(attributed_->copy());
    return AttributedText::make(text_, {{FontAttributeName, font_},
                                        {ForegroundColorAttributeName, valueWithColor(textColor_)}});
}

void TextView::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    attributed_ = AttributedText::from(text);
    text_ = attributed_ ? attributed_->string() : emptyText();
    if (attributed_ && attributed_->length() > 0) {
        if (auto f = ns::cast<Font>(attributed_->attributeAtIndex(FontAttributeName, 0))) font_ = f;
    }
    textChanged();
}

ns::Ref<AttributedText> TextView::measuredText() const { return attributed_ ? attributed_ : AttributedText::make(text_); }

void TextView::textChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void TextView::setFont(const ns::Ref<Font>& font) {
    font_ = font ? font : defaultTextViewFont();
    if (attributed_ && attributed_->length() > 0) {
        attributed_->addAttribute(FontAttributeName, font_, {0, attributed_->length()});
    }
    textChanged();
}

void TextView::setTextColor(std::optional<cg::Color> color) {
    textColor_ = color.value_or(blackColor());
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment alignment) {
    alignment_ = alignment;
    setNeedsDisplay();
}

void TextView::setLinkTextAttributes(TextAttributes attributes) {
    linkTextAttributes_ = std::move(attributes);
    setNeedsDisplay();
}

void TextView::setEditable(bool editable) {
    editable_ = editable;
    if (!editable && isFirstResponder()) resignFirstResponder();
}

void TextView::setTextContainerInset(const cg::EdgeInsets& insets) {
    textContainerInset_ = insets;
    textChanged();
}

// ---- Editing ----

bool TextView::becomeFirstResponder() {
    if (isFirstResponder()) return true;
    if (!canBecomeFirstResponder() || !window()) return false;
    auto keep = ref<TextView>();
    if (auto d = delegate(); d && !d->textViewShouldBeginEditing(*this)) return false;
    bool& taking = detail::textInputTakingFocus();
    bool wasTaking = taking;
    taking = true;
    bool became = View::becomeFirstResponder();
    taking = wasTaking;
    if (!became) return false;
    editing_ = true;
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidBeginEditingNotification, keep);
    Keyboard::simulateShow();
    return true;
}

bool TextView::resignFirstResponder() {
    if (!isFirstResponder()) return View::resignFirstResponder();
    auto keep = ref<TextView>();
    if (auto d = delegate(); d && !d->textViewShouldEndEditing(*this)) return false;
    if (!View::resignFirstResponder()) return false;
    endEditingSession();
    return true;
}

void TextView::resignFirstResponderForcibly() {
    if (!isFirstResponder()) return;
    auto keep = ref<TextView>();
    if (!View::resignFirstResponder() && isFirstResponder()) setFirstResponder(nullptr);
    endEditingSession();
}

void TextView::endEditingSession() {
    if (!editing_) return;
    auto keep = ref<TextView>();
    editing_ = false;
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidEndEditingNotification, keep);
    if (!detail::textInputTakingFocus()) Keyboard::simulateHide();
}

void TextView::willMoveToWindow(Window* newWindow) {
    View::willMoveToWindow(newWindow);
    if (!newWindow && editing_) endEditingSession();
}

bool TextView::ensureEditing() { return isEditing() || becomeFirstResponder(); }

bool TextView::change(ns::Range range, std::string_view replacement) {
    auto keep = ref<TextView>();
    auto inserted = ns::String::make(std::string(replacement));
    if (auto d = delegate(); d && !d->textViewShouldChangeTextInRange(*this, range, inserted)) return false;
    auto updated = ns::MutableString::make(text_->utf8());
    updated->replaceCharactersInRange(range, replacement);
    text_ = ns::String::make(updated->utf8());
    if (attributed_) attributed_->replaceCharactersInRange(range, replacement);
    textChanged();
    if (auto d = delegate()) d->textViewDidChange(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidChangeNotification, keep);
    return true;
}

bool TextView::typeText(std::string_view text) {
    if (!ensureEditing()) return false;
    auto typed = ns::String::make(std::string(text));
    for (uint64_t i = 0; i < typed->length();) {
        ns::Range character = typed->rangeOfComposedCharacterSequenceAtIndex(i);
        if (character.end() <= i) character = {i, 1};
        change({text_->length(), 0}, typed->substringWithRange(character)->utf8());
        if (!isEditing()) break;
        i = character.end();
    }
    return true;
}

bool TextView::paste(std::string_view text) {
    if (!ensureEditing()) return false;
    if (!text.empty()) change({text_->length(), 0}, text);
    return true;
}

bool TextView::deleteBackward() {
    if (!ensureEditing()) return false;
    uint64_t length = text_->length();
    if (length > 0) change(text_->rangeOfComposedCharacterSequenceAtIndex(length - 1), "");
    return true;
}

// ---- Links ----

cg::Rect TextView::textArea() const {
    cg::Rect area = textContainerInset_.insetRect(bounds());
    area.origin.x += LineFragmentPadding;
    area.size.width = std::max(0.0, area.size.width - 2 * LineFragmentPadding);
    return area;
}

uint64_t TextView::closestIndexToPoint(cg::Point point) const {
    cg::Rect area = textArea();
    TextLayout layout(*measuredText(), font_, area.width());
    return layout.closestIndexToPoint({point.x - area.minX(), point.y - area.minY()});
}

bool TextView::interactWithLinkAtIndex(uint64_t index) {
    if (index >= text_->length() || !attributed_) return false;
    ns::Range range;
    ns::Id value = attributed_->attributeAtIndex(LinkAttributeName, index, &range);
    auto url = linkURL(value);
    if (!url) return false;
    auto keep = ref<TextView>();
    auto d = delegate();
    if (!d || d->textViewShouldInteractWithURL(*this, url, range, TextItemInteraction::InvokeDefaultAction)) {
        Application::sharedApplication()->openURL(url);
    }
    return true;
}

void TextView::touchesBegan(const TouchSet&, Event*) {}

void TextView::touchesMoved(const TouchSet&, Event*) {}

void TextView::touchesCancelled(const TouchSet&, Event*) {}

void TextView::touchesEnded(const TouchSet& touches, Event*) {
    if (touches.empty()) return;
    cg::Point at = touches.front()->locationInView(this);
    if (!bounds().containsPoint(at)) return;
    if (editable_) {
        becomeFirstResponder();
        return;
    }
    if (!selectable_) return;
    // The character under the finger: the one before the nearest boundary,
    // unless the boundary starts the text.
    uint64_t boundary = closestIndexToPoint(at);
    uint64_t index = boundary > 0 ? boundary - 1 : 0;
    if (!interactWithLinkAtIndex(index) && boundary < text_->length()) interactWithLinkAtIndex(boundary);
}

// ---- Geometry ----

cg::Size TextView::sizeThatFits(cg::Size size) const {
    const cg::EdgeInsets& in = textContainerInset_;
    double padding = 2 * LineFragmentPadding;
    bool offered = size.width > 0 && std::isfinite(size.width);
    double wrap = offered ? std::max(0.0, size.width - in.left - in.right - padding) : 0;
    TextLayout layout(*measuredText(), font_, wrap);
    double height = std::max(layout.size().height, layout.lineHeight());
    double width = offered ? size.width : layout.size().width + in.left + in.right + padding;
    return {width, height + in.top + in.bottom};
}

void TextView::drawRect(const cg::Rect&) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context || text_->length() == 0) return;
    cg::Rect area = textArea();
    auto text = measuredText();
    TextLayout layout(*text, font_, area.width());
    std::optional<cg::Color> linkColor = tintColor();
    auto linkAttribute = linkTextAttributes_.find(ForegroundColorAttributeName);
    if (linkAttribute != linkTextAttributes_.end()) linkColor = colorValue(linkAttribute->second);
    for (const TextLine& line : layout.lines()) {
        double x = area.minX();
        if (alignment_ == TextAlignment::Center) x += (area.width() - line.width) / 2;
        else if (alignment_ == TextAlignment::Right) x = area.maxX() - line.width;
        cg::Color color = textColor_;
        if (line.range.location < text->length()) {
            if (text->attributeAtIndex(LinkAttributeName, line.range.location) && linkColor) {
                color = *linkColor;
            } else if (auto c = colorValue(text->attributeAtIndex(ForegroundColorAttributeName, line.range.location))) {
                color = *c;
            }
        }
        context->drawText(line.text, {x, area.minY() + line.top}, layout.fontSize(), color);
    }
}

}  // namespace ui
