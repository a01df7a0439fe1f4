#pragma once
// Lays attributed text out in lines by the one text-metrics model
// (cg::TextMetrics), for the views that size, draw and hit-test text, and
// the platform's string-measuring calls.
//
// The model has one point size per text: a text whose runs mix font sizes
// is laid out at the largest of them. Kerning (the kern of the first
// character, added after every character, the last one included) widens the
// lines the model wrapped; the paragraph style of the first character adds
// its line spacing between lines and its paragraph spacing after each
// paragraph but the last.

#include <cstdint>
#include <string>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/graphics/Geometry.h"
#include "platform/uikit/AttributedText.h"

namespace ui {

class Font;

struct TextLine {
    // UTF-16 range and text, without the breaking spaces and the line break
    // that end the line.
    ns::Range range;
    std::string text;
    double width = 0;
    double top = 0;
    bool endsParagraph = false;
};

class TextLayout {
public:
    // `defaultFont` stands for runs without a font (nil: system 17). A
    // maxWidth of 0, negative or infinite does not wrap; maxLines 0 keeps
    // every line.
    TextLayout(const AttributedText& text, const ns::Ref<Font>& defaultFont, double maxWidth, int maxLines = 0);

    const std::vector<TextLine>& lines() const { return lines_; }
    double fontSize() const { return fontSize_; }
    double lineHeight() const { return lineHeight_; }
    double kern() const { return kern_; }
    // Widest line by number of lines (and the spacing between them); zero
    // for the empty text.
    cg::Size size() const { return size_; }
    // The UTF-16 index of the character boundary nearest to the point, in
    // the layout's space (top-left origin, lines flush left).
    uint64_t closestIndexToPoint(cg::Point point) const;

private:
    std::vector<TextLine> lines_;
    double fontSize_ = 0;
    double lineHeight_ = 0;
    double kern_ = 0;
    cg::Size size_;
};

// The font in effect at the start of the text: the first run's, else
// `fallback`.
ns::Ref<Font> leadingFont(const AttributedText& text, const ns::Ref<Font>& fallback);

// ---- The platform's string measuring ----

enum StringDrawingOptions : unsigned {
    StringDrawingUsesLineFragmentOrigin = 1 << 0,
    StringDrawingUsesFontLeading = 1 << 1,
    StringDrawingUsesDeviceMetrics = 1 << 3,
    StringDrawingTruncatesLastVisibleLine = 1 << 5,
};

// The rect the text takes at the origin. Lines wrap at the width only with
// the line-fragment option (otherwise only line breaks start lines); with
// the truncating option a positive height keeps the lines that fit (at
// least one).
cg::Rect boundingRectWithSize(const AttributedText& text, cg::Size size, unsigned options);
cg::Rect boundingRectWithSize(std::string_view text, cg::Size size, unsigned options, const TextAttributes& attributes);
// One line per line break, no wrapping.
cg::Size sizeWithAttributes(std::string_view text, const TextAttributes& attributes);

}  // namespace ui
