#pragma once
// Attributed text as the view layer reads it: the foundation's attributed
// string with runs of attributes over UTF-16 ranges. Values are objects: a
// Font for the font, colours boxed by GeometryValue.h, numbers for the
// underline, strikethrough and kern, a URL or text for a link, a
// ParagraphStyle, a Shadow.
//
// Adjacent runs with equal attributes are one run. The text is mutable in
// place, as the platform's mutable attributed string; text changed through
// the base class's own methods keeps the runs that still fit, and text
// added that way has no attributes.

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/AttributedString.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Range.h"
#include "platform/graphics/Color.h"
#include "platform/uikit/AttributedTextStyles.h"

namespace ui {

class Font;

// The platform's attribute names.
inline constexpr const char* FontAttributeName = "NSFont";
inline constexpr const char* ForegroundColorAttributeName = "NSColor";
inline constexpr const char* BackgroundColorAttributeName = "NSBackgroundColor";
inline constexpr const char* StrikethroughStyleAttributeName = "NSStrikethrough";
inline constexpr const char* StrikethroughColorAttributeName = "NSStrikethroughColor";
inline constexpr const char* UnderlineStyleAttributeName = "NSUnderline";
inline constexpr const char* UnderlineColorAttributeName = "NSUnderlineColor";
inline constexpr const char* LinkAttributeName = "NSLink";
inline constexpr const char* KernAttributeName = "NSKern";
inline constexpr const char* ParagraphStyleAttributeName = "NSParagraphStyle";
inline constexpr const char* ShadowAttributeName = "NSShadow";
inline constexpr const char* BaselineOffsetAttributeName = "NSBaselineOffset";

// Attributes by name, in name order.
using TextAttributes = std::map<std::string, ns::Id, std::less<>>;

// Equal keys with equal values (ns::equal).
bool attributesEqual(const TextAttributes& a, const TextAttributes& b);

class AttributedText : public ns::MutableAttributedString {
    RT_DECLARE_CLASS(AttributedText)
public:
    struct Run {
        ns::Range range;
        TextAttributes attributes;
    };

    AttributedText();
    // Nil text is the empty text.
    explicit AttributedText(const ns::Ref<ns::String>& text, TextAttributes attributes = {});
    static ns::Ref<AttributedText> make(std::string_view text, TextAttributes attributes = {});
    static ns::Ref<AttributedText> make(const ns::Ref<ns::String>& text, TextAttributes attributes = {});
    // A copy of any attributed string: its runs when it has them, else one
    // run without attributes. Nil for nil.
    static ns::Ref<AttributedText> from(const ns::AttributedString* text);
    static ns::Ref<AttributedText> from(const ns::Ref<ns::AttributedString>& text) { return from(text.get()); }

    // ---- Reading (indices and ranges in UTF-16 units) ----
    // Every run in order; the empty text has none.
    std::vector<Run> runs() const;
    // NSRangeException at or past the end.
    const TextAttributes& attributesAtIndex(uint64_t index, ns::Range* effectiveRange = nullptr) const;
    // Nil when the run at the index lacks the key.
    ns::Id attributeAtIndex(std::string_view key, uint64_t index, ns::Range* effectiveRange = nullptr) const;
    // The platform's dictionary form of attributesAtIndex.
    ns::Ref<ns::Dictionary> attributesDictionaryAtIndex(uint64_t index) const;
    // Each stretch of `range` over which the value of `key` stays the same
    // (nil where absent); `stop` ends the walk.
    void enumerateAttribute(std::string_view key, ns::Range range,
                            const std::function<void(const ns::Id& value, ns::Range range, bool& stop)>& block) const;
    ns::Ref<AttributedText> attributedSubstringFromRange(ns::Range range) const;
    // True when some run carries the key.
    bool hasAttribute(std::string_view key) const;

    // ---- Changing (ranges past the end raise NSRangeException) ----
    // A nil value removes the key.
    void addAttribute(const std::string& key, ns::Id value, ns::Range range);
    void addAttributes(const TextAttributes& attributes, ns::Range range);
    void setAttributes(const TextAttributes& attributes, ns::Range range);
    void removeAttribute(std::string_view key, ns::Range range);
    // The new text takes the attributes of the first replaced character, or
    // of the one before the range when nothing is replaced (the first
    // character's when inserting at 0).
    void replaceCharactersInRange(ns::Range range, std::string_view text);
    void replaceCharactersInRange(ns::Range range, const ns::AttributedString& text);
    void appendAttributedString(const ns::AttributedString& other);
    void setAttributedString(const ns::AttributedString& other);

    // "text{\n    key = value;\n}" per run, as the platform prints them.
    std::string description() const override;
    uint64_t hash() const override { return string_->hash(); }
    using Object::isEqual;
    // Same text and runs; a plain attributed string equals one without
    // attributes.
    bool isEqual(const ns::Object* other) const override;
    ns::Id copy() const override;
    ns::Id mutableCopy() const override { return copy(); }

private:
    struct Segment {
        uint64_t length;
        TextAttributes attributes;
    };

    // Brings the runs back in line with the text after changes made through
    // the base class.
    void reconcile() const;
    void checkRange(ns::Range range, const char* method) const;
    // Splits so that a run boundary falls at `index`; returns the segment
    // that starts there (segments_.size() at the end).
    size_t splitAt(uint64_t index);
    void coalesce();
    void modify(ns::Range range, const std::function<void(TextAttributes&)>& change, const char* method);
    void replace(ns::Range range, const ns::Ref<ns::String>& text, const std::vector<Segment>& segments);

    mutable std::vector<Segment> segments_;
};

}  // namespace ui
