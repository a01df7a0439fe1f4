#pragma once
// Sets of Unicode code points, for trimming, splitting and percent-encoding.

#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class CharacterSet : public Object {
    RT_DECLARE_CLASS(CharacterSet)
public:
    struct CodeRange {
        char32_t first;
        char32_t last;  // inclusive
    };

    CharacterSet() = default;
    explicit CharacterSet(std::vector<CodeRange> ranges);

    static Ref<CharacterSet> withCharactersInString(std::string_view utf8);
    static Ref<CharacterSet> withRange(char32_t first, char32_t last);

    // The platform's predefined sets. The URL sets hold ASCII only; letters
    // and digits beyond ASCII cover the common scripts (Latin, Greek,
    // Cyrillic, CJK, kana, hangul, fullwidth forms), not every Unicode letter.
    static const Ref<CharacterSet>& whitespace();            // space, tab, Unicode spaces
    static const Ref<CharacterSet>& whitespaceAndNewline();  // + LF CR VT FF NEL LS PS
    static const Ref<CharacterSet>& newline();
    static const Ref<CharacterSet>& decimalDigits();
    static const Ref<CharacterSet>& letters();
    static const Ref<CharacterSet>& alphanumerics();
    static const Ref<CharacterSet>& URLQueryAllowed();     // unreserved + !$&'()*+,;=:@/?
    static const Ref<CharacterSet>& URLPathAllowed();      // unreserved + !$&'()*+,=:@/
    static const Ref<CharacterSet>& URLHostAllowed();      // unreserved + !$&'()*+,;=:[]
    static const Ref<CharacterSet>& URLFragmentAllowed();  // as the query
    static const Ref<CharacterSet>& URLUserAllowed();      // unreserved + !$&'()*+,;=
    static const Ref<CharacterSet>& URLPasswordAllowed();  // as the user

    bool contains(char32_t cp) const;
    Ref<CharacterSet> invertedSet() const;
    const std::vector<CodeRange>& ranges() const { return ranges_; }

    uint64_t hash() const override;
    using Object::isEqual;
    bool isEqual(const Object* other) const override;
    Id copy() const override;
    Id mutableCopy() const override;

protected:
    void setRanges(std::vector<CodeRange> ranges);

    // Sorted, disjoint, non-adjacent ranges; ASCII also as a bitmap.
    std::vector<CodeRange> ranges_;
    uint64_t ascii_[2] = {0, 0};
};

class MutableCharacterSet : public CharacterSet {
    RT_DECLARE_CLASS(MutableCharacterSet)
public:
    using CharacterSet::CharacterSet;
    static Ref<MutableCharacterSet> make() { return std::make_shared<MutableCharacterSet>(); }

    void addCharactersInString(std::string_view utf8);
    void removeCharactersInString(std::string_view utf8);
    void addCharactersInRange(char32_t first, char32_t last);
    void removeCharactersInRange(char32_t first, char32_t last);
    void formUnionWithCharacterSet(const CharacterSet& other);
    void formIntersectionWithCharacterSet(const CharacterSet& other);
    void invert();

    Id copy() const override;
};

}  // namespace ns
