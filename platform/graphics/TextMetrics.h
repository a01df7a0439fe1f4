#pragma once
// The one text-measuring model. Nothing is rendered to a screen, so text
// sizes come from this deterministic rule instead of font files; every size
// computed from text (labels, buttons, fields, HUDs, drawing) goes through it.
//
// Advances, for a font of point size s (the same for every font face):
//   - East Asian wide or fullwidth characters (Unicode East_Asian_Width W or
//     F: CJK ideographs, Hangul, kana, fullwidth forms, CJK punctuation and
//     the emoji in the wide ranges) advance 1.0 x s;
//   - combining marks (general category Mn, Me), zero-width spaces and
//     joiners, the word joiner, the soft hyphen and the byte-order mark
//     advance 0;
//   - every other character advances 0.5 x s.
// Malformed UTF-8 counts one U+FFFD (0.5 x s) per bad byte.
//
// Lines:
//   - line height = ceil(1.2 x s);
//   - "\n", "\r\n", "\r", U+2028 and U+2029 end a line; a text ending in a
//     line break has an empty last line; the empty text has no lines;
//   - wrapping is greedy: a line takes characters while its width stays
//     within the maximum. It breaks after a run of spaces (space, tab and the
//     other breaking spaces) and before or after any wide character; the
//     spaces at a break hang: they are dropped from the line and its width.
//     A word wider than the whole line breaks between characters. A line
//     always takes at least one character, however narrow the maximum.
//   - a size is (widest line, number of lines x line height).

#include <string>
#include <string_view>
#include <vector>

#include "platform/graphics/Geometry.h"

namespace cg {

class TextMetrics {
public:
    static double lineHeight(double fontSize);
    static bool isWide(char32_t c);
    static bool isZeroWidth(char32_t c);
    static double advance(char32_t c, double fontSize);

    // Size without wrapping; line breaks still start new lines.
    static Size measure(std::string_view text, double fontSize);
    // Wrapped to `maxWidth` (0, negative or infinite: no wrapping), keeping at
    // most `maxLines` lines (0: all).
    static Size boundingSize(std::string_view text, double fontSize, double maxWidth, int maxLines = 0);
    // The lines as wrapped, without their breaking spaces or line breaks.
    static std::vector<std::string> lines(std::string_view text, double fontSize, double maxWidth);
};

}  // namespace cg
