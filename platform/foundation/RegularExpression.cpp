#include "platform/foundation/RegularExpression.h"

#include <unicode/regex.h>
#include <unicode/unistr.h>

#include "platform/foundation/Array.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"
#include "platform/foundation/Unicode.h"
#include "platform/runtime/Exception.h"

namespace ns {

RT_DEFINE_CLASS(TextCheckingResult, Object, "NSTextCheckingResult")
RT_DEFINE_CLASS(RegularExpression, Object, "NSRegularExpression")

Range TextCheckingResult::rangeAtIndex(uint64_t index) const {
    if (index >= ranges_.size()) {
        Exception::raise(RangeException, "-[NSTextCheckingResult rangeAtIndex:]: index " + std::to_string(index) +
                                             " out of range (" + std::to_string(ranges_.size()) + " ranges)");
    }
    return ranges_[index];
}

struct RegularExpression::Compiled {
    std::unique_ptr<icu::RegexPattern> pattern;
};

namespace {

uint32_t icuFlags(uint64_t options) {
    uint32_t flags = 0;
    if (options & RegularExpressionCaseInsensitive) flags |= UREGEX_CASE_INSENSITIVE;
    if (options & RegularExpressionAllowCommentsAndWhitespace) flags |= UREGEX_COMMENTS;
    if (options & RegularExpressionIgnoreMetacharacters) flags |= UREGEX_LITERAL;
    if (options & RegularExpressionDotMatchesLineSeparators) flags |= UREGEX_DOTALL;
    if (options & RegularExpressionAnchorsMatchLines) flags |= UREGEX_MULTILINE;
    if (options & RegularExpressionUseUnixLineSeparators) flags |= UREGEX_UNIX_LINES;
    if (options & RegularExpressionUseUnicodeWordBoundaries) flags |= UREGEX_UWORD;
    return flags;
}

void checkRange(const String& string, Range range, const char* method) {
    const uint64_t length = string.length();
    if (range.location > length || range.length > length - range.location) {
        Exception::raise(RangeException, std::string("-[NSRegularExpression ") + method + "]: Range {" +
                                             std::to_string(range.location) + ", " + std::to_string(range.length) +
                                             "} out of bounds; string length " + std::to_string(length));
    }
}

std::u16string toUnits(std::string_view utf8) { return unicode::toUtf16(utf8); }

}  // namespace

RegularExpression::RegularExpression(std::string pattern, uint64_t options, std::unique_ptr<Compiled> compiled)
    : pattern_(std::move(pattern)), options_(options), compiled_(std::move(compiled)) {}

RegularExpression::~RegularExpression() = default;

Ref<RegularExpression> RegularExpression::withPattern(std::string_view pattern, uint64_t options, Ref<Error>* error) {
    std::u16string units = toUnits(pattern);
    UParseError where;
    UErrorCode status = U_ZERO_ERROR;
    auto compiled = std::make_unique<Compiled>();
    compiled->pattern.reset(icu::RegexPattern::compile(icu::UnicodeString(units.data(), int32_t(units.size())),
                                                       icuFlags(options), where, status));
    if (U_FAILURE(status) || !compiled->pattern) {
        if (error) {
            *error = Error::make(CocoaErrorDomain, 2048,
                                 Dictionary::make({{"NSInvalidValue", String::make(std::string(pattern))}}));
        }
        return nullptr;
    }
    return Ref<RegularExpression>(new RegularExpression(std::string(pattern), options, std::move(compiled)));
}

uint64_t RegularExpression::numberOfCaptureGroups() const {
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(status));
    return U_SUCCESS(status) ? uint64_t(matcher->groupCount()) : 0;
}

void RegularExpression::eachMatch(const std::u16string& units, uint64_t options, Range range,
                                  const std::function<bool(std::vector<Range>&&)>& visit) const {
    // The matcher reads the caller's units in place.
    icu::UnicodeString text(false, units.data(), int32_t(units.size()));
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::RegexMatcher> matcher(compiled_->pattern->matcher(text, status));
    if (U_FAILURE(status)) return;
    matcher->region(int64_t(range.location), int64_t(range.end()), status);
    matcher->useTransparentBounds(options & MatchingWithTransparentBounds);
    matcher->useAnchoringBounds(!(options & MatchingWithoutAnchoringBounds));
    const int32_t groups = matcher->groupCount();
    int64_t expected = int64_t(range.location);
    while (U_SUCCESS(status) && matcher->find(status) && U_SUCCESS(status)) {
        std::vector<Range> ranges;
        ranges.reserve(size_t(groups) + 1);
        for (int32_t g = 0; g <= groups; ++g) {
            int64_t start = matcher->start64(g, status);
            int64_t end = matcher->end64(g, status);
            ranges.push_back(start < 0 ? Range{NotFound, 0} : Range{uint64_t(start), uint64_t(end - start)});
        }
        if ((options & MatchingAnchored) && int64_t(ranges[0].location) != expected) return;
        expected = int64_t(ranges[0].end());
        if (!visit(std::move(ranges))) return;
    }
}

void RegularExpression::enumerateMatchesInString(const String& string, uint64_t options, Range range,
                                                 const MatchBlock& block) const {
    checkRange(string, range, "enumerateMatchesInString:options:range:usingBlock:");
    auto self = std::static_pointer_cast<const RegularExpression>(shared_from_this());
    bool stop = false;
    eachMatch(string.utf16(), options, range, [&](std::vector<Range>&& ranges) {
        block(std::make_shared<TextCheckingResult>(std::move(ranges), self), 0, stop);
        return !stop;
    });
    if (!stop && (options & MatchingReportCompletion)) block(nullptr, MatchingCompleted, stop);
}

Ref<Array> RegularExpression::matchesInString(const String& string, uint64_t options, Range range) const {
    std::vector<Id> results;
    enumerateMatchesInString(string, options & ~uint64_t(MatchingReportCompletion), range,
                             [&](const Ref<TextCheckingResult>& result, uint64_t, bool&) { results.push_back(result); });
    return Array::make(std::move(results));
}

Ref<Array> RegularExpression::matchesInString(const String& string, uint64_t options) const {
    return matchesInString(string, options, {0, string.length()});
}

uint64_t RegularExpression::numberOfMatchesInString(const String& string, uint64_t options, Range range) const {
    checkRange(string, range, "numberOfMatchesInString:options:range:");
    uint64_t count = 0;
    eachMatch(string.utf16(), options, range, [&](std::vector<Range>&&) {
        ++count;
        return true;
    });
    return count;
}

uint64_t RegularExpression::numberOfMatchesInString(const String& string, uint64_t options) const {
    return numberOfMatchesInString(string, options, {0, string.length()});
}

Ref<TextCheckingResult> RegularExpression::firstMatchInString(const String& string, uint64_t options, Range range) const {
    Ref<TextCheckingResult> first;
    enumerateMatchesInString(string, options & ~uint64_t(MatchingReportCompletion), range,
                             [&](const Ref<TextCheckingResult>& result, uint64_t, bool& stop) {
                                 first = result;
                                 stop = true;
                             });
    return first;
}

Ref<TextCheckingResult> RegularExpression::firstMatchInString(const String& string, uint64_t options) const {
    return firstMatchInString(string, options, {0, string.length()});
}

Range RegularExpression::rangeOfFirstMatchInString(const String& string, uint64_t options, Range range) const {
    Ref<TextCheckingResult> first = firstMatchInString(string, options, range);
    return first ? first->range() : Range{NotFound, 0};
}

void RegularExpression::expandTemplate(std::u16string& out, const std::u16string& templ, const std::u16string& units,
                                       const std::vector<Range>& ranges) const {
    const uint64_t groups = ranges.size() - 1;
    auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    for (size_t i = 0; i < templ.size(); ++i) {
        const char16_t c = templ[i];
        if (c == u'\\') {
            if (i + 1 < templ.size()) out += templ[++i];
            continue;
        }
        if (c != u'$' || i + 1 >= templ.size() || !isDigit(templ[i + 1])) {
            out += c;
            continue;
        }
        // "$12" names group 12 only when there is one; else group 1, then "2".
        uint64_t group = templ[++i] - u'0';
        while (i + 1 < templ.size() && isDigit(templ[i + 1]) && group * 10 + (templ[i + 1] - u'0') <= groups) {
            group = group * 10 + (templ[++i] - u'0');
        }
        if (group > groups || !ranges[group].found()) continue;
        const Range r = ranges[group];
        if (r.end() <= units.size()) out.append(units, r.location, r.length);
    }
}

Ref<String> RegularExpression::stringByReplacingMatchesInString(const String& string, uint64_t options, Range range,
                                                                std::string_view templ) const {
    checkRange(string, range, "stringByReplacingMatchesInString:options:range:withTemplate:");
    const std::u16string units = string.utf16();
    const std::u16string templateUnits = toUnits(templ);
    std::u16string out;
    uint64_t copied = 0;
    eachMatch(units, options, range, [&](std::vector<Range>&& ranges) {
        out.append(units, copied, ranges[0].location - copied);
        expandTemplate(out, templateUnits, units, ranges);
        copied = ranges[0].end();
        return true;
    });
    out.append(units, copied);
    return String::withCharacters(out);
}

Ref<String> RegularExpression::stringByReplacingMatchesInString(const String& string, std::string_view templ) const {
    return stringByReplacingMatchesInString(string, 0, {0, string.length()}, templ);
}

uint64_t RegularExpression::replaceMatchesInString(MutableString& string, uint64_t options, Range range,
                                                   std::string_view templ) const {
    const uint64_t count = numberOfMatchesInString(string, options, range);
    if (count) string.setString(stringByReplacingMatchesInString(string, options, range, templ)->utf8());
    return count;
}

Ref<String> RegularExpression::replacementStringForResult(const TextCheckingResult& result, const String& string,
                                                          int64_t offset, std::string_view templ) const {
    std::vector<Range> ranges;
    for (uint64_t i = 0; i < result.numberOfRanges(); ++i) {
        Range r = result.rangeAtIndex(i);
        if (r.found()) r.location = uint64_t(int64_t(r.location) + offset);
        ranges.push_back(r);
    }
    std::u16string out;
    expandTemplate(out, toUnits(templ), string.utf16(), ranges);
    return String::withCharacters(out);
}

Ref<String> RegularExpression::escapedPatternForString(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (std::string_view("\\*?+[](){}^$|./-").find(c) != std::string_view::npos) out += '\\';
        out += c;
    }
    return String::make(std::move(out));
}

Ref<String> RegularExpression::escapedTemplateForString(std::string_view text) {
    std::string out;
    for (char c : text) {
        if (c == '\\' || c == '$') out += '\\';
        out += c;
    }
    return String::make(std::move(out));
}

Range RegularExpression::rangeOfPatternInString(std::string_view pattern, const String& string, uint32_t compareOptions,
                                                Range range) {
    const uint64_t options = (compareOptions & CaseInsensitiveSearch) ? uint64_t(RegularExpressionCaseInsensitive) : 0;
    Ref<RegularExpression> expression = withPattern(pattern, options);
    if (!expression) return {NotFound, 0};
    const uint64_t matching = (compareOptions & AnchoredSearch) ? uint64_t(MatchingAnchored) : 0;
    return expression->rangeOfFirstMatchInString(string, matching, range);
}

}  // namespace ns
