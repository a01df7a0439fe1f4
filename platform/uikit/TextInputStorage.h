#pragma once
// The text that labels, text fields and text views hold: plain text, the
// attributed text when one was set (kept in step with edits), and the font,
// colour and alignment that style the plain text.
//
// The owning view decides what nil text means (labels keep nil, editors the
// empty text) and which attributes at the start of set attributed text it
// adopts; it also redraws, since only it knows what depends on the text.

#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/graphics/Color.h"
#include "platform/uikit/AttributedText.h"

namespace ui {

class Font;

namespace detail {

class TextStorage {
public:
    // `whenNil` stands for nil text (nil itself for labels); `defaultFont`
    // is what a nil font restores.
    TextStorage(ns::Ref<ns::String> whenNil, ns::Ref<Font> defaultFont);

    const ns::Ref<ns::String>& text() const { return text_; }
    // Nil unless attributed text was set since the last plain text.
    const ns::Ref<AttributedText>& attributed() const { return attributed_; }
    const ns::Ref<Font>& font() const { return font_; }
    const cg::Color& color() const { return color_; }
    TextAlignment alignment() const { return alignment_; }

    // Copies the text and drops any attributes.
    void setText(const ns::Ref<ns::String>& text);
    void setAttributedText(const ns::Ref<ns::AttributedString>& text);
    // A copy of the attributed text as set, else the plain text with the
    // font, colour and `extra` over it; nil when the text is nil.
    ns::Ref<AttributedText> attributedText(TextAttributes extra = {}) const;
    // What layout measures: the attributed text itself, or the plain text
    // without attributes (measured in the font).
    ns::Ref<AttributedText> measuredText() const;

    // The font also goes over the whole attributed text.
    void setFont(const ns::Ref<Font>& font);
    // Nothing restores black. The attributed text keeps its own colours
    // unless applyColorToAttributedText is called.
    void setColor(std::optional<cg::Color> color);
    void applyColorToAttributedText();
    void setAlignment(TextAlignment alignment) { alignment_ = alignment; }
    // Take the font, or the colour, of the attributed text's first run.
    void adoptFontAtStart();
    void adoptColorAtStart();

    // Replaces a UTF-16 range of the text (and of the attributed text).
    void replace(ns::Range range, std::string_view replacement);

private:
    ns::Ref<ns::String> whenNil_;
    ns::Ref<Font> defaultFont_;
    ns::Ref<ns::String> text_;
    ns::Ref<AttributedText> attributed_;
    ns::Ref<Font> font_;
    cg::Color color_;
    TextAlignment alignment_ = TextAlignment::Natural;
};

}  // namespace detail
}  // namespace ui
