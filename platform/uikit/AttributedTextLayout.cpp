#include "platform/uikit/AttributedTextLayout.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "platform/foundation/Number.h"
#include "platform/graphics/TextMetrics.h"
#include "platform/graphics/Utf8.h"
#include "platform/uikit/Font.h"

namespace ui {

namespace {

size_t utf16Units(char32_t c) { return c > 0xFFFF ? 2 : 1; }

uint64_t utf16Length(std::string_view text) {
    uint64_t n = 0;
    for (size_t pos = 0; pos < text.size();) n += utf16Units(cg::utf8::next(text, pos));
    return n;
}

// Characters the model advances by (zero-width marks ride on the one
// before), which is what kerning counts.
uint64_t advancingCharacters(std::string_view text) {
    uint64_t n = 0;
    for (size_t pos = 0; pos < text.size();) {
        if (!cg::TextMetrics::isZeroWidth(cg::utf8::next(text, pos))) ++n;
    }
    return n;
}

struct Paragraph {
    size_t begin;
    size_t end;
};

// The model's line breaks: "\n", "\r\n", "\r", U+2028, U+2029; a text ending
// in one has an empty last paragraph, the empty text has none.
std::vector<Paragraph> paragraphs(std::string_view text) {
    std::vector<Paragraph> out;
    if (text.empty()) return out;
    size_t start = 0, pos = 0;
    while (pos < text.size()) {
        size_t at = pos;
        char32_t c = cg::utf8::next(text, pos);
        if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        if (c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029) {
            out.push_back({start, at});
            start = pos;
        }
    }
    out.push_back({start, text.size()});
    return out;
}

template <class T>
ns::Ref<T> attributeOfType(const TextAttributes& attributes, std::string_view key) {
    auto it = attributes.find(key);
    return it == attributes.end() ? nullptr : ns::cast<T>(it->second);
}

}  // namespace

ns::Ref<Font> leadingFont(const AttributedText& text, const ns::Ref<Font>& fallback) {
    if (text.length() == 0) return fallback;
    auto font = attributeOfType<Font>(text.attributesAtIndex(0), FontAttributeName);
    return font ? font : fallback;
}

TextLayout::TextLayout(const AttributedText& text, const ns::Ref<Font>& defaultFont, double maxWidth, int maxLines) {
    double fallbackSize = defaultFont ? defaultFont->pointSize() : 17;
    auto runs = text.runs();
    fontSize_ = runs.empty() ? fallbackSize : 0;
    for (const auto& run : runs) {
        auto font = attributeOfType<Font>(run.attributes, FontAttributeName);
        fontSize_ = std::max(fontSize_, font ? font->pointSize() : fallbackSize);
    }
    lineHeight_ = cg::TextMetrics::lineHeight(fontSize_);
    double lineSpacing = 0, paragraphSpacing = 0;
    if (!runs.empty()) {
        const TextAttributes& first = runs.front().attributes;
        if (auto kern = attributeOfType<ns::Number>(first, KernAttributeName)) kern_ = kern->doubleValue();
        if (auto style = attributeOfType<ParagraphStyle>(first, ParagraphStyleAttributeName)) {
            lineSpacing = style->lineSpacing();
            paragraphSpacing = style->paragraphSpacing();
        }
    }

    const std::string& utf8 = text.string()->utf8();
    std::string_view all(utf8);
    for (const Paragraph& p : paragraphs(all)) {
        std::string_view paragraph = all.substr(p.begin, p.end - p.begin);
        std::vector<std::string> wrapped = cg::TextMetrics::lines(paragraph, fontSize_, maxWidth);
        if (wrapped.empty()) wrapped.emplace_back();
        size_t pos = 0;
        for (auto& line : wrapped) {
            size_t start = line.empty() ? pos : paragraph.find(line, pos);
            if (start == std::string_view::npos) start = pos;
            pos = start + line.size();
            TextLine out;
            uint64_t at = utf16Length(all.substr(0, p.begin + start));
            out.range = {at, utf16Length(line)};
            out.width = cg::TextMetrics::measure(line, fontSize_).width + kern_ * double(advancingCharacters(line));
            out.text = std::move(line);
            lines_.push_back(std::move(out));
        }
        lines_.back().endsParagraph = true;
    }
    if (maxLines > 0 && lines_.size() > size_t(maxLines)) lines_.resize(size_t(maxLines));

    double y = 0, width = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (i > 0) y += lineSpacing + (lines_[i - 1].endsParagraph ? paragraphSpacing : 0);
        lines_[i].top = y;
        y += lineHeight_;
        width = std::max(width, lines_[i].width);
    }
    size_ = lines_.empty() ? cg::Size{} : cg::Size{width, y};
}

uint64_t TextLayout::closestIndexToPoint(cg::Point point) const {
    if (lines_.empty()) return 0;
    size_t row = 0;
    for (size_t i = 0; i < lines_.size(); ++i) {
        if (point.y >= lines_[i].top) row = i;
    }
    const TextLine& line = lines_[row];
    uint64_t index = line.range.location;
    double x = 0;
    std::string_view text(line.text);
    for (size_t pos = 0; pos < text.size();) {
        char32_t c = cg::utf8::next(text, pos);
        double advance = cg::TextMetrics::advance(c, fontSize_);
        if (!cg::TextMetrics::isZeroWidth(c)) advance += kern_;
        // Past the middle of a character its far side is the nearer boundary.
        if (point.x < x + advance / 2) return index;
        x += advance;
        index += utf16Units(c);
    }
    return index;
}

// ---- String measuring ----

namespace {

// Text without a font attribute measures in the platform's 12-point default.
const ns::Ref<Font>& defaultStringFont() {
    static const ns::Ref<Font> font = Font::systemFontOfSize(12);
    return font;
}

}  // namespace

cg::Rect boundingRectWithSize(const AttributedText& text, cg::Size size, unsigned options) {
    bool wraps = options & StringDrawingUsesLineFragmentOrigin;
    TextLayout layout(text, defaultStringFont(), wraps ? size.width : 0);
    if ((options & StringDrawingTruncatesLastVisibleLine) && size.height > 0 && std::isfinite(size.height)) {
        size_t fit = 0;
        for (const auto& line : layout.lines()) {
            if (line.top + layout.lineHeight() > size.height) break;
            ++fit;
        }
        TextLayout limited(text, defaultStringFont(), wraps ? size.width : 0, int(std::max<size_t>(fit, 1)));
        return {{0, 0}, limited.size()};
    }
    return {{0, 0}, layout.size()};
}

cg::Rect boundingRectWithSize(std::string_view text, cg::Size size, unsigned options,
                              const TextAttributes& attributes) {
    return boundingRectWithSize(*AttributedText::make(text, attributes), size, options);
}

cg::Size sizeWithAttributes(std::string_view text, const TextAttributes& attributes) {
    return TextLayout(*AttributedText::make(text, attributes), defaultStringFont(), 0).size();
}

}  // namespace ui
