#include "platform/uikit/AttributedText.h"

#include <algorithm>

#include "platform/foundation/MutableDictionary.h"
#include "platform/runtime/Exception.h"

namespace ui {

RT_DEFINE_CLASS(AttributedText, ns::MutableAttributedString, "NSConcreteMutableAttributedString")

bool attributesEqual(const TextAttributes& a, const TextAttributes& b) {
    if (a.size() != b.size()) return false;
    for (auto i = a.begin(), j = b.begin(); i != a.end(); ++i, ++j) {
        if (i->first != j->first || !ns::equal(i->second, j->second)) return false;
    }
    return true;
}

namespace {

TextAttributes withoutNils(TextAttributes attributes) {
    std::erase_if(attributes, [](const auto& entry) { return !entry.second; });
    return attributes;
}

const TextAttributes& noAttributes() {
    static const TextAttributes* none = new TextAttributes;
    return *none;
}

}  // namespace

AttributedText::AttributedText() = default;

AttributedText::AttributedText(const ns::Ref<ns::String>& text, TextAttributes attributes)
    : ns::MutableAttributedString(text) {
    if (uint64_t n = string_->length()) segments_.push_back({n, withoutNils(std::move(attributes))});
}

ns::Ref<AttributedText> AttributedText::make(std::string_view text, TextAttributes attributes) {
    return std::make_shared<AttributedText>(ns::String::make(std::string(text)), std::move(attributes));
}

ns::Ref<AttributedText> AttributedText::make(const ns::Ref<ns::String>& text, TextAttributes attributes) {
    return std::make_shared<AttributedText>(text, std::move(attributes));
}

ns::Ref<AttributedText> AttributedText::from(const ns::AttributedString* text) {
    if (!text) return nullptr;
    if (auto rich = dynamic_cast<const AttributedText*>(text)) return std::static_pointer_cast<AttributedText>(rich->copy());
    return make(text->string());
}

// ---- Keeping runs and text in line ----

void AttributedText::reconcile() const {
    uint64_t length = string_->length();
    uint64_t covered = 0;
    size_t keep = 0;
    for (; keep < segments_.size() && covered < length; ++keep) {
        if (covered + segments_[keep].length > length) segments_[keep].length = length - covered;
        covered += segments_[keep].length;
    }
    segments_.resize(keep);
    if (covered < length) {
        if (!segments_.empty() && segments_.back().attributes.empty()) segments_.back().length += length - covered;
        else segments_.push_back({length - covered, {}});
    }
}

void AttributedText::checkRange(ns::Range range, const char* method) const {
    uint64_t length = string_->length();
    if (range.location > length || range.length > length - range.location) {
        ns::Exception::raise(ns::RangeException,
                             std::string(method) + ": Range {" + std::to_string(range.location) + ", " +
                                 std::to_string(range.length) + "} out of bounds; string length " +
                                 std::to_string(length));
    }
}

size_t AttributedText::splitAt(uint64_t index) {
    uint64_t start = 0;
    for (size_t i = 0; i < segments_.size(); ++i) {
        if (index == start) return i;
        uint64_t end = start + segments_[i].length;
        if (index < end) {
            Segment tail{end - index, segments_[i].attributes};
            segments_[i].length = index - start;
            segments_.insert(segments_.begin() + ptrdiff_t(i) + 1, std::move(tail));
            return i + 1;
        }
        start = end;
    }
    return segments_.size();
}

void AttributedText::coalesce() {
    std::vector<Segment> out;
    for (auto& s : segments_) {
        if (s.length == 0) continue;
        if (!out.empty() && attributesEqual(out.back().attributes, s.attributes)) {
            out.back().length += s.length;
        } else {
            out.push_back(std::move(s));
        }
    }
    segments_ = std::move(out);
}

void AttributedText::modify(ns::Range range, const std::function<void(TextAttributes&)>& change, const char* method) {
    reconcile();
    checkRange(range, method);
    if (range.length == 0) return;
    size_t first = splitAt(range.location);
    size_t last = splitAt(range.end());
    for (size_t i = first; i < last; ++i) change(segments_[i].attributes);
    coalesce();
}

// ---- Reading ----

std::vector<AttributedText::Run> AttributedText::runs() const {
    reconcile();
    std::vector<Run> out;
    uint64_t at = 0;
    for (const auto& s : segments_) {
        out.push_back({{at, s.length}, s.attributes});
        at += s.length;
    }
    return out;
}

const TextAttributes& AttributedText::attributesAtIndex(uint64_t index, ns::Range* effectiveRange) const {
    reconcile();
    if (index >= string_->length()) {
        ns::Exception::raise(ns::RangeException, "attributesAtIndex: index " + std::to_string(index) +
                                                     " out of bounds; string length " +
                                                     std::to_string(string_->length()));
    }
    uint64_t start = 0;
    for (const auto& s : segments_) {
        if (index < start + s.length) {
            if (effectiveRange) *effectiveRange = {start, s.length};
            return s.attributes;
        }
        start += s.length;
    }
    return noAttributes();
}

ns::Id AttributedText::attributeAtIndex(std::string_view key, uint64_t index, ns::Range* effectiveRange) const {
    ns::Range run;
    const TextAttributes& attributes = attributesAtIndex(index, &run);
    auto it = attributes.find(key);
    ns::Id value = it == attributes.end() ? nullptr : it->second;
    if (effectiveRange) {
        // The stretch over which this key keeps its value, which may span
        // runs that differ in other keys.
        *effectiveRange = run;
        enumerateAttribute(key, {0, string_->length()}, [&](const ns::Id&, ns::Range r, bool& stop) {
            if (index >= r.location && index < r.end()) {
                *effectiveRange = r;
                stop = true;
            }
        });
    }
    return value;
}

ns::Ref<ns::Dictionary> AttributedText::attributesDictionaryAtIndex(uint64_t index) const {
    auto out = ns::MutableDictionary::make();
    for (const auto& [key, value] : attributesAtIndex(index)) out->setObjectForKey(value, ns::String::make(key));
    return out;
}

void AttributedText::enumerateAttribute(
    std::string_view key, ns::Range range,
    const std::function<void(const ns::Id& value, ns::Range range, bool& stop)>& block) const {
    reconcile();
    checkRange(range, "enumerateAttribute");
    ns::Id current;
    uint64_t from = range.location;
    bool started = false;
    bool stop = false;
    uint64_t start = 0;
    for (const auto& s : segments_) {
        uint64_t end = start + s.length;
        uint64_t lo = std::max(start, range.location), hi = std::min(end, range.end());
        if (lo < hi) {
            auto it = s.attributes.find(key);
            ns::Id value = it == s.attributes.end() ? nullptr : it->second;
            if (!started) {
                current = value;
                from = lo;
                started = true;
            } else if (!ns::equal(current, value)) {
                block(current, {from, lo - from}, stop);
                if (stop) return;
                current = value;
                from = lo;
            }
        }
        start = end;
    }
    if (started) block(current, {from, range.end() - from}, stop);
}

ns::Ref<AttributedText> AttributedText::attributedSubstringFromRange(ns::Range range) const {
    reconcile();
    checkRange(range, "attributedSubstringFromRange");
    auto out = make(string_->substringWithRange(range));
    out->segments_.clear();
    uint64_t start = 0;
    for (const auto& s : segments_) {
        uint64_t end = start + s.length;
        uint64_t lo = std::max(start, range.location), hi = std::min(end, range.end());
        if (lo < hi) out->segments_.push_back({hi - lo, s.attributes});
        start = end;
    }
    return out;
}

bool AttributedText::hasAttribute(std::string_view key) const {
    reconcile();
    return std::any_of(segments_.begin(), segments_.end(),
                       [&](const Segment& s) { return s.attributes.find(key) != s.attributes.end(); });
}

// ---- Changing ----

void AttributedText::addAttribute(const std::string& key, ns::Id value, ns::Range range) {
    modify(
        range,
        [&](TextAttributes& attributes) {
            if (value) attributes[key] = value;
            else attributes.erase(key);
        },
        "addAttribute");
}

void AttributedText::addAttributes(const TextAttributes& added, ns::Range range) {
    modify(
        range,
        [&](TextAttributes& attributes) {
            for (const auto& [key, value] : added) {
                if (value) attributes[key] = value;
                else attributes.erase(key);
            }
        },
        "addAttributes");
}

void AttributedText::setAttributes(const TextAttributes& replacement, ns::Range range) {
    TextAttributes clean = withoutNils(replacement);
    modify(range, [&](TextAttributes& attributes) { attributes = clean; }, "setAttributes");
}

void AttributedText::removeAttribute(std::string_view key, ns::Range range) {
    modify(
        range,
        [&](TextAttributes& attributes) {
            auto it = attributes.find(key);
            if (it != attributes.end()) attributes.erase(it);
        },
        "removeAttribute");
}

void AttributedText::replace(ns::Range range, const ns::Ref<ns::String>& text, const std::vector<Segment>& inserted) {
    auto merged = ns::MutableString::make(string_->utf8());
    merged->replaceCharactersInRange(range, text->utf8());
    size_t first = splitAt(range.location);
    size_t last = splitAt(range.end());
    segments_.erase(segments_.begin() + ptrdiff_t(first), segments_.begin() + ptrdiff_t(last));
    segments_.insert(segments_.begin() + ptrdiff_t(first), inserted.begin(), inserted.end());
    string_ = ns::String::make(merged->utf8());
    coalesce();
}

void AttributedText::replaceCharactersInRange(ns::Range range, std::string_view text) {
    reconcile();
    checkRange(range, "replaceCharactersInRange");
    auto inserted = ns::String::make(std::string(text));
    TextAttributes inherited;
    uint64_t length = string_->length();
    if (length > 0) {
        uint64_t source = range.length > 0 ? range.location : (range.location > 0 ? range.location - 1 : 0);
        inherited = attributesAtIndex(std::min(source, length - 1));
    }
    std::vector<Segment> segments;
    if (uint64_t n = inserted->length()) segments.push_back({n, std::move(inherited)});
    replace(range, inserted, segments);
}

void AttributedText::replaceCharactersInRange(ns::Range range, const ns::AttributedString& text) {
    reconcile();
    checkRange(range, "replaceCharactersInRange");
    std::vector<Segment> segments;
    for (const auto& run : from(&text)->runs()) segments.push_back({run.range.length, run.attributes});
    replace(range, text.string(), segments);
}

void AttributedText::appendAttributedString(const ns::AttributedString& other) {
    reconcile();
    replaceCharactersInRange({string_->length(), 0}, other);
}

void AttributedText::setAttributedString(const ns::AttributedString& other) {
    reconcile();
    replaceCharactersInRange({0, string_->length()}, other);
}

// ---- Object ----

std::string AttributedText::description() const {
    auto all = runs();
    if (all.empty()) return "";
    std::string out;
    for (const auto& run : all) {
        out += string_->substringWithRange(run.range)->utf8();
        out += "{\n";
        for (const auto& [key, value] : run.attributes) {
            out += "    " + key + " = " + (value ? value->description() : "(null)") + ";\n";
        }
        out += "}";
    }
    return out;
}

bool AttributedText::isEqual(const ns::Object* other) const {
    auto text = dynamic_cast<const ns::AttributedString*>(other);
    if (!text || !text->string()->isEqual(string_.get())) return false;
    auto mine = runs();
    auto theirs = from(text)->runs();
    if (mine.size() != theirs.size()) return false;
    for (size_t i = 0; i < mine.size(); ++i) {
        if (mine[i].range != theirs[i].range || !attributesEqual(mine[i].attributes, theirs[i].attributes)) {
            return false;
        }
    }
    return true;
}

ns::Id AttributedText::copy() const {
    reconcile();
    auto out = std::make_shared<AttributedText>(string_);
    out->segments_ = segments_;
    return out;
}

}  // namespace ui
