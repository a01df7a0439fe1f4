#include "platform/foundation/CharacterSet.h"

#include <algorithm>

#include "platform/foundation/Unicode.h"

namespace ns {
namespace {

using CodeRange = CharacterSet::CodeRange;
constexpr char32_t MaxCodePoint = 0x10FFFF;

std::vector<CodeRange> normalized(std::vector<CodeRange> r) {
    std::sort(r.begin(), r.end(), [](const CodeRange& a, const CodeRange& b) { return a.first < b.first; });
    std::vector<CodeRange> out;
    for (const CodeRange& c : r) {
        if (c.first > c.last) continue;
        if (!out.empty() && c.first <= out.back().last + 1) {
            out.back().last = std::max(out.back().last, c.last);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<CodeRange> complement(const std::vector<CodeRange>& r) {
    std::vector<CodeRange> out;
    char32_t next = 0;
    for (const CodeRange& c : r) {
        if (c.first > next) out.push_back({next, c.first - 1});
        next = c.last + 1;
    }
    if (next <= MaxCodePoint) out.push_back({next, MaxCodePoint});
    return out;
}

std::vector<CodeRange> intersection(const std::vector<CodeRange>& a, const std::vector<CodeRange>& b) {
    std::vector<CodeRange> out;
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        char32_t lo = std::max(a[i].first, b[j].first);
        char32_t hi = std::min(a[i].last, b[j].last);
        if (lo <= hi) out.push_back({lo, hi});
        if (a[i].last < b[j].last) ++i;
        else ++j;
    }
    return out;
}

std::vector<CodeRange> rangesOfString(std::string_view utf8) {
    std::vector<CodeRange> out;
    for (size_t i = 0; i < utf8.size();) {
        char32_t cp;
        i = unicode::next(utf8, i, cp);
        out.push_back({cp, cp});
    }
    return out;
}

std::vector<CodeRange> unite(std::vector<CodeRange> a, const std::vector<CodeRange>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return normalized(std::move(a));
}

// Unreserved characters of URLs: letters, digits and "-._~".
std::vector<CodeRange> urlSet(std::string_view extra) {
    std::vector<CodeRange> r = {{'0', '9'}, {'A', 'Z'}, {'a', 'z'}};
    for (char c : std::string_view("-._~")) r.push_back({char32_t(c), char32_t(c)});
    for (char c : extra) r.push_back({char32_t(c), char32_t(c)});
    return r;
}

Ref<CharacterSet> makeSet(std::vector<CodeRange> r) { return std::make_shared<CharacterSet>(std::move(r)); }

const std::vector<CodeRange> digitRanges = {
    {'0', '9'}, {0x0660, 0x0669}, {0x06F0, 0x06F9}, {0x0966, 0x096F}, {0xFF10, 0xFF19},
};
const std::vector<CodeRange> letterRanges = {
    {'A', 'Z'},       {'a', 'z'},       {0x00AA, 0x00AA}, {0x00B5, 0x00B5}, {0x00BA, 0x00BA},
    {0x00C0, 0x00D6}, {0x00D8, 0x00F6}, {0x00F8, 0x024F}, {0x0300, 0x036F}, {0x0370, 0x0373},
    {0x0376, 0x0377}, {0x037B, 0x037D}, {0x0386, 0x0386}, {0x0388, 0x03FF}, {0x0400, 0x0481},
    {0x0483, 0x052F}, {0x3041, 0x309A}, {0x309D, 0x309F}, {0x30A1, 0x30FA}, {0x30FC, 0x30FF},
    {0x3400, 0x4DBF}, {0x4E00, 0x9FFF}, {0xAC00, 0xD7A3}, {0xFF21, 0xFF3A}, {0xFF41, 0xFF5A},
};

}  // namespace

RT_DEFINE_CLASS(CharacterSet, Object, "NSCharacterSet")
RT_DEFINE_CLASS(MutableCharacterSet, CharacterSet, "NSMutableCharacterSet")

CharacterSet::CharacterSet(std::vector<CodeRange> ranges) { setRanges(std::move(ranges)); }

void CharacterSet::setRanges(std::vector<CodeRange> ranges) {
    ranges_ = normalized(std::move(ranges));
    ascii_[0] = ascii_[1] = 0;
    for (const CodeRange& r : ranges_) {
        for (char32_t c = r.first; c <= r.last && c < 128; ++c) ascii_[c >> 6] |= uint64_t(1) << (c & 63);
    }
}

Ref<CharacterSet> CharacterSet::withCharactersInString(std::string_view utf8) { return makeSet(rangesOfString(utf8)); }

Ref<CharacterSet> CharacterSet::withRange(char32_t first, char32_t last) { return makeSet({{first, last}}); }

const Ref<CharacterSet>& CharacterSet::whitespace() {
    static const Ref<CharacterSet> set = makeSet({{0x09, 0x09}, {0x20, 0x20}, {0xA0, 0xA0}, {0x1680, 0x1680},
                                                  {0x2000, 0x200A}, {0x202F, 0x202F}, {0x205F, 0x205F}, {0x3000, 0x3000}});
    return set;
}

const Ref<CharacterSet>& CharacterSet::newline() {
    static const Ref<CharacterSet> set = makeSet({{0x0A, 0x0D}, {0x85, 0x85}, {0x2028, 0x2029}});
    return set;
}

const Ref<CharacterSet>& CharacterSet::whitespaceAndNewline() {
    static const Ref<CharacterSet> set = makeSet(unite(whitespace()->ranges(), newline()->ranges()));
    return set;
}

const Ref<CharacterSet>& CharacterSet::decimalDigits() {
    static const Ref<CharacterSet> set = makeSet(digitRanges);
    return set;
}

const Ref<CharacterSet>& CharacterSet::letters() {
    static const Ref<CharacterSet> set = makeSet(letterRanges);
    return set;
}

const Ref<CharacterSet>& CharacterSet::alphanumerics() {
    static const Ref<CharacterSet> set = makeSet(unite(letterRanges, digitRanges));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLQueryAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,;=:@/?"));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLPathAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,=:@/"));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLHostAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,;=:[]"));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLFragmentAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,;=:@/?"));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLUserAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,;="));
    return set;
}

const Ref<CharacterSet>& CharacterSet::URLPasswordAllowed() {
    static const Ref<CharacterSet> set = makeSet(urlSet("!$&'()*+,;="));
    return set;
}

bool CharacterSet::contains(char32_t cp) const {
    if (cp < 128) return (ascii_[cp >> 6] >> (cp & 63)) & 1;
    auto it = std::upper_bound(ranges_.begin(), ranges_.end(), cp,
                               [](char32_t c, const CodeRange& r) { return c < r.first; });
    if (it == ranges_.begin()) return false;
    return cp <= std::prev(it)->last;
}

Ref<CharacterSet> CharacterSet::invertedSet() const { return makeSet(complement(ranges_)); }

uint64_t CharacterSet::hash() const { return ranges_.size(); }

bool CharacterSet::isEqual(const Object* other) const {
    auto set = dynamic_cast<const CharacterSet*>(other);
    if (!set) return false;
    if (set->ranges_.size() != ranges_.size()) return false;
    for (size_t i = 0; i < ranges_.size(); ++i) {
        if (ranges_[i].first != set->ranges_[i].first || ranges_[i].last != set->ranges_[i].last) return false;
    }
    return true;
}

Id CharacterSet::copy() const { return self(); }

Id CharacterSet::mutableCopy() const { return std::make_shared<MutableCharacterSet>(ranges_); }

void MutableCharacterSet::addCharactersInString(std::string_view utf8) { setRanges(unite(ranges_, rangesOfString(utf8))); }

void MutableCharacterSet::removeCharactersInString(std::string_view utf8) {
    setRanges(intersection(ranges_, complement(normalized(rangesOfString(utf8)))));
}

void MutableCharacterSet::addCharactersInRange(char32_t first, char32_t last) { setRanges(unite(ranges_, {{first, last}})); }

void MutableCharacterSet::removeCharactersInRange(char32_t first, char32_t last) {
    setRanges(intersection(ranges_, complement(normalized({{first, last}}))));
}

void MutableCharacterSet::formUnionWithCharacterSet(const CharacterSet& other) { setRanges(unite(ranges_, other.ranges())); }

void MutableCharacterSet::formIntersectionWithCharacterSet(const CharacterSet& other) {
    setRanges(intersection(ranges_, other.ranges()));
}

void MutableCharacterSet::invert() { setRanges(complement(ranges_)); }

Id MutableCharacterSet::copy() const { return std::make_shared<CharacterSet>(ranges_); }

}  // namespace ns
