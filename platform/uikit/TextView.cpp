#include "platform/uikit/TextView.h"

#include <algorithm>
#include <cmath>

#include "platform/foundation/NotificationCenter.h"
#include "platform/uikit/Application.h"
#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"
#include "platform/uikit/Touch.h"

namespace ui {

RT_DEFINE_CLASS(TextView, ScrollView, "UITextView")

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
    : TextInput(frame, detail::TextStorage(emptyText(), defaultTextViewFont())) {}

ns::Ref<TextView> TextView::make(const cg::Rect& frame) { return std::make_shared<TextView>(frame); }

// ---- Text ----

void TextView::setText(const ns::Ref<ns::String>& text) {
    storage_.setText(text);
    textChanged();
}

ns::Ref<AttributedText> TextView::attributedText() const { return storage_.attributedText(); }

void TextView::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    storage_.setAttributedText(text);
    storage_.adoptFontAtStart();
    textChanged();
}

void TextView::textChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

void TextView::setFont(const ns::Ref<Font>& font) {
    storage_.setFont(font);
    textChanged();
}

void TextView::setTextColor(std::optional<cg::Color> color) {
    storage_.setColor(color);
    setNeedsDisplay();
}

void TextView::setTextAlignment(TextAlignment alignment) {
    storage_.setAlignment(alignment);
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

bool TextView::sessionShouldBegin() {
    auto d = delegate();
    return !d || d->textViewShouldBeginEditing(*this);
}

void TextView::sessionDidBegin() {
    if (auto d = delegate()) d->textViewDidBeginEditing(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidBeginEditingNotification, ref());
}

bool TextView::sessionShouldEnd() {
    auto d = delegate();
    return !d || d->textViewShouldEndEditing(*this);
}

void TextView::sessionDidEnd() {
    if (auto d = delegate()) d->textViewDidEndEditing(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidEndEditingNotification, ref());
}

bool TextView::shouldChangeText(ns::Range range, const ns::Ref<ns::String>& replacement) {
    auto d = delegate();
    return !d || d->textViewShouldChangeTextInRange(*this, range, replacement);
}

void TextView::textDidChange() {
    if (auto d = delegate()) d->textViewDidChange(*this);
    ns::NotificationCenter::defaultCenter()->postNotificationName(TextViewTextDidChangeNotification, ref());
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
    TextLayout layout(*storage_.measuredText(), font(), area.width());
    return layout.closestIndexToPoint({point.x - area.minX(), point.y - area.minY()});
}

bool TextView::interactWithLinkAtIndex(uint64_t index) {
    if (index >= text()->length() || !storage_.attributed()) return false;
    ns::Range range;
    ns::Id value = storage_.attributed()->attributeAtIndex(LinkAttributeName, index, &range);
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
    if (!interactWithLinkAtIndex(index) && boundary < text()->length()) interactWithLinkAtIndex(boundary);
}

// ---- Geometry ----

cg::Size TextView::sizeThatFits(cg::Size size) const {
    const cg::EdgeInsets& in = textContainerInset_;
    double padding = 2 * LineFragmentPadding;
    bool offered = size.width > 0 && std::isfinite(size.width);
    double wrap = offered ? std::max(0.0, size.width - in.left - in.right - padding) : 0;
    TextLayout layout(*storage_.measuredText(), font(), wrap);
    double height = std::max(layout.size().height, layout.lineHeight());
    double width = offered ? size.width : layout.size().width + in.left + in.right + padding;
    return {width, height + in.top + in.bottom};
}

void TextView::drawRect(const cg::Rect&) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context || text()->length() == 0) return;
    cg::Rect area = textArea();
    auto text = storage_.measuredText();
    TextLayout layout(*text, font(), area.width());
    std::optional<cg::Color> linkColor = tintColor();
    auto linkAttribute = linkTextAttributes_.find(ForegroundColorAttributeName);
    if (linkAttribute != linkTextAttributes_.end()) linkColor = colorValue(linkAttribute->second);
    for (const TextLine& line : layout.lines()) {
        double x = area.minX();
        if (textAlignment() == TextAlignment::Center) x += (area.width() - line.width) / 2;
        else if (textAlignment() == TextAlignment::Right) x = area.maxX() - line.width;
        cg::Color color = textColor();
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
