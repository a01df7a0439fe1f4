#pragma once
// Labels: read-only text, plain or attributed, sized and drawn by the one
// text-metrics model (see AttributedTextLayout.h).
//
// Setting attributed text replaces the plain text with its characters and
// takes the font and colour at its start as the label's; setting plain
// text drops the attributes. Changing the font or colour while attributed
// text is set applies them over the whole text, as the platform does.
//
// Sizes: one line (numberOfLines 1) never wraps; otherwise the text wraps
// at the width offered (sizeThatFits), or at preferredMaxLayoutWidth, else
// the current width (intrinsicContentSize), keeping at most numberOfLines
// lines. A label without text, or with the empty text, is 0 x 0.
//
// Main thread only.

#include <optional>
#include <string_view>

#include "platform/foundation/String.h"
#include "platform/uikit/AttributedText.h"
#include "platform/uikit/TextInputStorage.h"
#include "platform/uikit/View.h"

namespace ui {

class Font;
class TextLayout;

enum class BaselineAdjustment { AlignBaselines = 0, AlignCenters = 1, None = 2 };

class Label : public View {
    RT_DECLARE_CLASS(Label)
public:
    Label();
    explicit Label(const cg::Rect& frame);
    static ns::Ref<Label> make(const cg::Rect& frame = {});

    const ns::Ref<ns::String>& text() const { return storage_.text(); }
    void setText(const ns::Ref<ns::String>& text);
    void setText(std::string_view text) { setText(ns::String::make(std::string(text))); }
    void setText(std::nullptr_t) { setText(ns::Ref<ns::String>()); }
    // The attributed text as set, or the plain text with the label's font,
    // colour and paragraph style over it; nil without text.
    ns::Ref<AttributedText> attributedText() const;
    void setAttributedText(const ns::Ref<ns::AttributedString>& text);

    // Nil restores the default, the system font of 17 points.
    const ns::Ref<Font>& font() const { return storage_.font(); }
    void setFont(const ns::Ref<Font>& font);
    // Nothing restores the default, black.
    const cg::Color& textColor() const { return storage_.color(); }
    void setTextColor(std::optional<cg::Color> color);
    TextAlignment textAlignment() const { return storage_.alignment(); }
    void setTextAlignment(TextAlignment alignment);
    // 0: as many as the text needs.
    int64_t numberOfLines() const { return numberOfLines_; }
    void setNumberOfLines(int64_t lines);
    LineBreakMode lineBreakMode() const { return lineBreakMode_; }
    void setLineBreakMode(LineBreakMode mode);

    // Drawing only: a single line wider than the label is drawn smaller,
    // down to minimumScaleFactor of the font. Sizes keep the full font.
    bool adjustsFontSizeToFitWidth() const { return adjustsFontSizeToFitWidth_; }
    void setAdjustsFontSizeToFitWidth(bool on);
    double minimumScaleFactor() const { return minimumScaleFactor_; }
    void setMinimumScaleFactor(double factor);
    BaselineAdjustment baselineAdjustment() const { return baselineAdjustment_; }
    void setBaselineAdjustment(BaselineAdjustment adjustment) { baselineAdjustment_ = adjustment; }
    double preferredMaxLayoutWidth() const { return preferredMaxLayoutWidth_; }
    void setPreferredMaxLayoutWidth(double width);

    cg::Size sizeThatFits(cg::Size size) const override;
    cg::Size intrinsicContentSize() const override;
    // Where the text goes in `bounds`: at its top-left corner, no wider than
    // the bounds and only as many lines (at most `numberOfLines`, 0: all) as
    // the bounds' height holds, at least one.
    virtual cg::Rect textRectForBounds(const cg::Rect& bounds, int64_t numberOfLines) const;
    // Draws the text centred vertically in the rect.
    virtual void drawTextInRect(const cg::Rect& rect);
    void drawRect(const cg::Rect& rect) override;

private:
    TextLayout layoutFor(double maxWidth, int64_t lines) const;
    void textChanged();

    detail::TextStorage storage_;
    int64_t numberOfLines_ = 1;
    LineBreakMode lineBreakMode_ = LineBreakMode::ByTruncatingTail;
    bool adjustsFontSizeToFitWidth_ = false;
    double minimumScaleFactor_ = 0;
    BaselineAdjustment baselineAdjustment_ = BaselineAdjustment::AlignBaselines;
    double preferredMaxLayoutWidth_ = 0;
};

}  // namespace ui
