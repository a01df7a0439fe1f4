#pragma once
// Regular expressions in the platform's (ICU's) syntax, over String. Ranges
// count UTF-16 units, as String's do, so an emoji spans two. An expression is
// immutable and may be used from any thread.

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Range.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class Array;
class Error;
class MutableString;
class RegularExpression;
class String;

// The platform's option bits.
enum RegularExpressionOptions : uint64_t {
    RegularExpressionCaseInsensitive = 1 << 0,
    RegularExpressionAllowCommentsAndWhitespace = 1 << 1,
    RegularExpressionIgnoreMetacharacters = 1 << 2,
    RegularExpressionDotMatchesLineSeparators = 1 << 3,
    RegularExpressionAnchorsMatchLines = 1 << 4,
    RegularExpressionUseUnixLineSeparators = 1 << 5,
    RegularExpressionUseUnicodeWordBoundaries = 1 << 6,
};

enum MatchingOptions : uint64_t {
    MatchingReportProgress = 1 << 0,  // accepted; no progress calls are made
    MatchingReportCompletion = 1 << 1,
    // Each match must start where the search (or the match before) ended.
    MatchingAnchored = 1 << 2,
    // Look-around may see the text outside the range.
    MatchingWithTransparentBounds = 1 << 3,
    // "^" and "$" no longer match at the range's edges.
    MatchingWithoutAnchoringBounds = 1 << 4,
};

enum MatchingFlags : uint64_t {
    MatchingProgress = 1 << 0,
    MatchingCompleted = 1 << 1,
};

// One match: the whole match at index 0, then each capture group; a group
// that took no part in the match has the range {NotFound, 0}.
class TextCheckingResult : public Object {
    RT_DECLARE_CLASS(TextCheckingResult)
public:
    TextCheckingResult(std::vector<Range> ranges, Ref<const RegularExpression> expression)
        : ranges_(std::move(ranges)), expression_(std::move(expression)) {}

    Range range() const { return ranges_.front(); }
    // NSRangeException beyond numberOfRanges().
    Range rangeAtIndex(uint64_t index) const;
    uint64_t numberOfRanges() const { return ranges_.size(); }
    const Ref<const RegularExpression>& regularExpression() const { return expression_; }

private:
    std::vector<Range> ranges_;
    Ref<const RegularExpression> expression_;
};

class RegularExpression : public Object {
    RT_DECLARE_CLASS(RegularExpression)
public:
    using MatchBlock = std::function<void(const Ref<TextCheckingResult>& result, uint64_t flags, bool& stop)>;

    ~RegularExpression() override;

    // nil for a pattern that does not compile, with the platform's error in
    // `error` (NSCocoaErrorDomain, 2048, the pattern under "NSInvalidValue").
    static Ref<RegularExpression> withPattern(std::string_view pattern, uint64_t options = 0, Ref<Error>* error = nullptr);

    const std::string& pattern() const { return pattern_; }
    uint64_t options() const { return options_; }
    uint64_t numberOfCaptureGroups() const;

    // Searches `range` of the text (NSRangeException when it lies outside).
    // With MatchingReportCompletion the block is called once more at the end
    // with a nil result and MatchingCompleted.
    void enumerateMatchesInString(const String& string, uint64_t options, Range range, const MatchBlock& block) const;
    // An array of TextCheckingResult.
    Ref<Array> matchesInString(const String& string, uint64_t options, Range range) const;
    Ref<Array> matchesInString(const String& string, uint64_t options = 0) const;
    uint64_t numberOfMatchesInString(const String& string, uint64_t options, Range range) const;
    uint64_t numberOfMatchesInString(const String& string, uint64_t options = 0) const;
    // nil when nothing matches.
    Ref<TextCheckingResult> firstMatchInString(const String& string, uint64_t options, Range range) const;
    Ref<TextCheckingResult> firstMatchInString(const String& string, uint64_t options = 0) const;
    // {NotFound, 0} when nothing matches.
    Range rangeOfFirstMatchInString(const String& string, uint64_t options, Range range) const;

    // Templates: "$n" is capture group n (as many digits as name a group;
    // a group that took no part gives nothing), a backslash takes the next
    // character literally, anything else is itself.
    Ref<String> stringByReplacingMatchesInString(const String& string, uint64_t options, Range range,
                                                 std::string_view templ) const;
    Ref<String> stringByReplacingMatchesInString(const String& string, std::string_view templ) const;
    // Returns the number of matches replaced.
    uint64_t replaceMatchesInString(MutableString& string, uint64_t options, Range range, std::string_view templ) const;
    // The template filled in for one match of `string`, whose ranges are
    // shifted by `offset` first.
    Ref<String> replacementStringForResult(const TextCheckingResult& result, const String& string, int64_t offset,
                                           std::string_view templ) const;

    // The text with every metacharacter escaped, to match it literally.
    static Ref<String> escapedPatternForString(std::string_view text);
    // The text with "\" and "$" escaped, to insert it literally.
    static Ref<String> escapedTemplateForString(std::string_view text);

    // String's rangeOfString with RegularExpressionSearch: the first match of
    // `pattern` (CaseInsensitiveSearch and AnchoredSearch honoured); not
    // found for a bad pattern.
    static Range rangeOfPatternInString(std::string_view pattern, const String& string, uint32_t compareOptions,
                                        Range range);

private:
    struct Compiled;

    RegularExpression(std::string pattern, uint64_t options, std::unique_ptr<Compiled> compiled);
    // Calls `visit` with the ranges of each match until it returns false.
    void eachMatch(const std::u16string& units, uint64_t options, Range range,
                   const std::function<bool(std::vector<Range>&&)>& visit) const;
    void expandTemplate(std::u16string& out, const std::u16string& templ, const std::u16string& units,
                        const std::vector<Range>& ranges) const;

    std::string pattern_;
    uint64_t options_;
    std::unique_ptr<Compiled> compiled_;
};

}  // namespace ns
