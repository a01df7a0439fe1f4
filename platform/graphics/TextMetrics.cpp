#include "platform/graphics/TextMetrics.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/Utf8.h"

namespace cg {

namespace {

// Widths are sums of half points, but font sizes such as 0.1 are not exact
// in binary; a line that fits on paper must fit here too.
constexpr double kFitTolerance = 1e-9;

bool isBreakingSpace(char32_t c) {
    return c == ' ' || c == '\t' || c == 0x1680 || (c >= 0x2000 && c <= 0x2006) || (c >= 0x2008 && c <= 0x200A) ||
           c == 0x205F || c == 0x3000;
}

// A character with the zero-width marks that follow it.
struct Cluster {
    size_t begin;
    size_t end;
    double advance;
    bool space;
    bool wide;
};

struct Line {
    std::string_view paragraph;
    size_t begin;
    size_t end;
    double width;
};

std::vector<std::string_view> paragraphs(std::string_view text) {
    std::vector<std::string_view> out;
    if (text.empty()) return out;
    size_t start = 0, pos = 0;
    while (pos < text.size()) {
        size_t at = pos;
        char32_t c = utf8::next(text, pos);
        if (c == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        if (c == '\n' || c == '\r' || c == 0x2028 || c == 0x2029) {
            out.push_back(text.substr(start, at - start));
            start = pos;
        }
    }
    out.push_back(text.substr(start));
    return out;
}

std::vector<Cluster> clusters(std::string_view paragraph, double fontSize) {
    std::vector<Cluster> out;
    size_t pos = 0;
    while (pos < paragraph.size()) {
        size_t begin = pos;
        char32_t c = utf8::next(paragraph, pos);
        if (TextMetrics::isZeroWidth(c) && !out.empty()) {
            out.back().end = pos;
            continue;
        }
        out.push_back({begin, pos, TextMetrics::advance(c, fontSize), isBreakingSpace(c), TextMetrics::isWide(c)});
    }
    return out;
}

void wrapParagraph(std::string_view paragraph, double fontSize, double maxWidth, std::vector<Line>& out) {
    const bool limited = maxWidth > 0 && std::isfinite(maxWidth);
    const std::vector<Cluster> cs = clusters(paragraph, fontSize);
    const size_t n = cs.size();
    if (n == 0) {
        out.push_back({paragraph, 0, 0, 0});
        return;
    }
    auto emit = [&](size_t from, size_t to, double width) {
        size_t begin = cs[from].begin;
        size_t end = to > from ? cs[to - 1].end : begin;
        out.push_back({paragraph, begin, end, width});
    };
    constexpr size_t none = size_t(-1);
    size_t i = 0;
    while (i < n) {
        const size_t start = i;
        double width = 0;
        size_t contentEnd = start;  // past the last non-space cluster
        double contentWidth = 0;
        size_t breakEnd = none, breakNext = none;
        double breakWidth = 0;
        bool wrapped = false;
        while (i < n) {
            const Cluster& c = cs[i];
            if (c.space) {
                width += c.advance;
                ++i;
                if (contentEnd > start) breakEnd = contentEnd, breakWidth = contentWidth, breakNext = i;
                continue;
            }
            if (c.wide && contentEnd > start) breakEnd = contentEnd, breakWidth = contentWidth, breakNext = i;
            if (limited && contentEnd > start && width + c.advance > maxWidth + kFitTolerance) {
                if (breakNext != none) {
                    emit(start, breakEnd, breakWidth);
                    i = breakNext;
                } else {
                    emit(start, i, width);
                }
                wrapped = true;
                break;
            }
            width += c.advance;
            ++i;
            contentEnd = i;
            contentWidth = width;
            if (c.wide) breakEnd = i, breakWidth = width, breakNext = i;
        }
        if (!wrapped) {
            // Trailing spaces hang only where there is a width to keep to.
            if (limited) emit(start, contentEnd, contentWidth);
            else emit(start, n, width);
        }
    }
}

std::vector<Line> layout(std::string_view text, double fontSize, double maxWidth) {
    std::vector<Line> out;
    for (std::string_view paragraph : paragraphs(text)) wrapParagraph(paragraph, fontSize, maxWidth, out);
    return out;
}

Size sizeOf(const std::vector<Line>& lines, double fontSize, size_t maxLines) {
    size_t count = maxLines > 0 ? std::min(maxLines, lines.size()) : lines.size();
    double width = 0;
    for (size_t i = 0; i < count; ++i) width = std::max(width, lines[i].width);
    return {width, double(count) * TextMetrics::lineHeight(fontSize)};
}

}  // namespace

double TextMetrics::lineHeight(double fontSize) {
    if (!(fontSize > 0)) return 0;
    // 12/10 rather than 1.2, so whole sizes such as 5 give exactly 6.
    return std::ceil(fontSize * 12 / 10);
}

double TextMetrics::advance(char32_t c, double fontSize) {
    if (!(fontSize > 0) || isZeroWidth(c)) return 0;
    return isWide(c) ? fontSize : fontSize / 2;
}

Size TextMetrics::measure(std::string_view text, double fontSize) {
    return sizeOf(layout(text, fontSize, 0), fontSize, 0);
}

Size TextMetrics::boundingSize(std::string_view text, double fontSize, double maxWidth, int maxLines) {
    return sizeOf(layout(text, fontSize, maxWidth), fontSize, maxLines > 0 ? size_t(maxLines) : 0);
}

std::vector<std::string> TextMetrics::lines(std::string_view text, double fontSize, double maxWidth) {
    std::vector<std::string> out;
    for (const Line& line : layout(text, fontSize, maxWidth))
        out.emplace_back(line.paragraph.substr(line.begin, line.end - line.begin));
    return out;
}

}  // namespace cg
