#include "platform/uikit/Label.h"

#include <algorithm>
#include <cmath>

#include "platform/uikit/AttributedTextLayout.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"
#include "platform/uikit/GraphicsContext.h"

namespace ui {

RT_DEFINE_CLASS(Label, View, "UILabel")

namespace {

const ns::Ref<Font>& defaultLabelFont() {
    static const ns::Ref<Font> font = Font::systemFontOfSize(17);
    return font;
}

}  // namespace

Label::Label() : Label(cg::Rect{}) {}

Label::Label(const cg::Rect& frame) : View(frame), storage_(nullptr, defaultLabelFont()) {
    setUserInteractionEnabled(false);
    setOpaque(false);
    setContentMode(ViewContentMode::Redraw);
}

ns::Ref<Label> Label::make(const cg::Rect& frame) { return std::make_shared<Label>(frame); }

// ---- Text ----

void Label::setText(const ns::Ref<ns::String>& text) {
    storage_.setText(text);
    textChanged();
}

ns::Ref<AttributedText> Label::attributedText() const {
    if (storage_.attributed() || !text()) return storage_.attributedText();
    auto style = ParagraphStyle::make();
    style->setAlignment(textAlignment());
    style->setLineBreakMode(lineBreakMode_);
    return storage_.attributedText({{ParagraphStyleAttributeName, style}});
}

void Label::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    storage_.setAttributedText(text);
    storage_.adoptFontAtStart();
    storage_.adoptColorAtStart();
    textChanged();
}

TextLayout Label::layoutFor(double maxWidth, int64_t lines) const {
    return TextLayout(*storage_.measuredText(), font(), maxWidth, int(std::clamp<int64_t>(lines, 0, INT32_MAX)));
}

void Label::textChanged() {
    invalidateIntrinsicContentSize();
    setNeedsDisplay();
}

// ---- Style ----

void Label::setFont(const ns::Ref<Font>& font) {
    storage_.setFont(font);
    textChanged();
}

void Label::setTextColor(std::optional<cg::Color> color) {
    storage_.setColor(color);
    storage_.applyColorToAttributedText();
    setNeedsDisplay();
}

void Label::setTextAlignment(TextAlignment alignment) {
    storage_.setAlignment(alignment);
    setNeedsDisplay();
}

void Label::setNumberOfLines(int64_t lines) {
    numberOfLines_ = std::max<int64_t>(lines, 0);
    textChanged();
}

void Label::setLineBreakMode(LineBreakMode mode) {
    lineBreakMode_ = mode;
    setNeedsDisplay();
}

void Label::setAdjustsFontSizeToFitWidth(bool on) {
    adjustsFontSizeToFitWidth_ = on;
    setNeedsDisplay();
}

void Label::setMinimumScaleFactor(double factor) {
    minimumScaleFactor_ = std::clamp(factor, 0.0, 1.0);
    setNeedsDisplay();
}

void Label::setPreferredMaxLayoutWidth(double width) {
    preferredMaxLayoutWidth_ = std::max(width, 0.0);
    invalidateIntrinsicContentSize();
}

// ---- Sizes ----

cg::Size Label::sizeThatFits(cg::Size size) const {
    if (!text() || text()->length() == 0) return {};
    double width = numberOfLines_ == 1 ? 0 : size.width;
    return layoutFor(width, numberOfLines_).size();
}

cg::Size Label::intrinsicContentSize() const {
    if (!text() || text()->length() == 0) return {};
    double width = 0;
    if (numberOfLines_ != 1) width = preferredMaxLayoutWidth_ > 0 ? preferredMaxLayoutWidth_ : bounds().width();
    return layoutFor(width, numberOfLines_).size();
}

cg::Rect Label::textRectForBounds(const cg::Rect& bounds, int64_t numberOfLines) const {
    cg::Rect rect{bounds.origin, {}};
    if (!text() || text()->length() == 0) return rect;
    TextLayout layout = layoutFor(numberOfLines == 1 ? 0 : bounds.width(), numberOfLines);
    const auto& lines = layout.lines();
    size_t fit = 0;
    for (const auto& line : lines) {
        if (fit > 0 && line.top + layout.lineHeight() > bounds.height()) break;
        ++fit;
    }
    double width = 0;
    for (size_t i = 0; i < fit; ++i) width = std::max(width, lines[i].width);
    double height = fit > 0 ? lines[fit - 1].top + layout.lineHeight() : 0;
    rect.size = {std::min(width, bounds.width()), height};
    return rect;
}

void Label::drawTextInRect(const cg::Rect& rect) {
    cg::BitmapContext* context = graphicsGetCurrentContext();
    if (!context || !text() || text()->length() == 0) return;
    TextLayout layout = layoutFor(numberOfLines_ == 1 ? 0 : rect.width(), numberOfLines_);
    cg::Rect used = textRectForBounds(rect, numberOfLines_);
    size_t count = 0;
    for (const auto& line : layout.lines()) {
        if (count > 0 && line.top + layout.lineHeight() > rect.height()) break;
        ++count;
    }
    double scale = 1;
    if (adjustsFontSizeToFitWidth_ && numberOfLines_ == 1 && layout.size().width > rect.width() &&
        layout.size().width > 0) {
        scale = std::max(minimumScaleFactor_, rect.width() / layout.size().width);
    }
    double top = rect.minY() + (rect.height() - used.height()) / 2;
    auto text = storage_.measuredText();
    for (size_t i = 0; i < count; ++i) {
        const TextLine& line = layout.lines()[i];
        double width = line.width * scale;
        double x = rect.minX();
        if (textAlignment() == TextAlignment::Center) x += (rect.width() - width) / 2;
        else if (textAlignment() == TextAlignment::Right) x = rect.maxX() - width;
        cg::Color color = textColor();
        if (line.range.location < text->length()) {
            if (auto c = colorValue(text->attributeAtIndex(ForegroundColorAttributeName, line.range.location))) {
                color = *c;
            }
        }
        context->drawText(line.text, {x, top + line.top * scale}, layout.fontSize() * scale, color);
    }
}

void Label::drawRect(const cg::Rect&) { drawTextInRect(bounds()); }

}  // namespace ui
