#include "platform/uikit/TextInputStorage.h"

#include "platform/uikit/Color.h"
#include "platform/uikit/Font.h"
#include "platform/uikit/GeometryValue.h"

namespace ui::detail {

TextStorage::TextStorage(ns::Ref<ns::String> whenNil, ns::Ref<Font> defaultFont)
    : whenNil_(std::move(whenNil)),
      defaultFont_(std::move(defaultFont)),
      text_(whenNil_),
      font_(defaultFont_),
      color_(blackColor()) {}

void TextStorage::setText(const ns::Ref<ns::String>& text) {
    text_ = text ? std::static_pointer_cast<ns::String>(text->copy()) : whenNil_;
    attributed_ = nullptr;
}

void TextStorage::setAttributedText(const ns::Ref<ns::AttributedString>& text) {
    attributed_ = AttributedText::from(text);
    text_ = attributed_ ? attributed_->string() : whenNil_;
}

ns::Ref<AttributedText> TextStorage::attributedText(TextAttributes extra) const {
    if (attributed_) return std::static_pointer_cast<AttributedText>(attributed_->copy());
    if (!text_) return nullptr;
    extra.insert_or_assign(FontAttributeName, font_);
    extra.insert_or_assign(ForegroundColorAttributeName, valueWithColor(color_));
    return AttributedText::make(text_, std::move(extra));
}

ns::Ref<AttributedText> TextStorage::measuredText() const {
    return attributed_ ? attributed_ : AttributedText::make(text_);
}

void TextStorage::setFont(const ns::Ref<Font>& font) {
    font_ = font ? font : defaultFont_;
    if (attributed_ && attributed_->length() > 0) {
        attributed_->addAttribute(FontAttributeName, font_, {0, attributed_->length()});
    }
}

void TextStorage::setColor(std::optional<cg::Color> color) { color_ = color.value_or(blackColor()); }

void TextStorage::applyColorToAttributedText() {
    if (attributed_ && attributed_->length() > 0) {
        attributed_->addAttribute(ForegroundColorAttributeName, valueWithColor(color_), {0, attributed_->length()});
    }
}

void TextStorage::adoptFontAtStart() {
    if (!attributed_ || attributed_->length() == 0) return;
    if (auto font = ns::cast<Font>(attributed_->attributeAtIndex(FontAttributeName, 0))) font_ = font;
}

void TextStorage::adoptColorAtStart() {
    if (!attributed_ || attributed_->length() == 0) return;
    if (auto color = colorValue(attributed_->attributeAtIndex(ForegroundColorAttributeName, 0))) color_ = *color;
}

void TextStorage::replace(ns::Range range, std::string_view replacement) {
    auto updated = ns::MutableString::make(text_->utf8());
    updated->replaceCharactersInRange(range, replacement);
    text_ = ns::String::make(updated->utf8());
    if (attributed_) attributed_->replaceCharactersInRange(range, replacement);
}

}  // namespace ui::detail
