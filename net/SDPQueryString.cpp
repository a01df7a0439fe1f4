#include "net/SDPQueryString.h"

#include <algorithm>

#include "platform/foundation/Array.h"
#include "platform/foundation/CharacterSet.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/MutableArray.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Set.h"
#include "platform/foundation/Text.h"

namespace {

constexpr uint64_t EscapeBatchSize = 50;

const ns::CharacterSet& queryComponentAllowed() {
    static const ns::Ref<ns::MutableCharacterSet> allowed = [] {
        auto set = std::make_shared<ns::MutableCharacterSet>();
        set->formUnionWithCharacterSet(*ns::CharacterSet::URLQueryAllowed());
        // Delimiters of RFC 3986 sections 2.2 and 3.4 that servers read as
        // structure; "/" and "?" may stay in a query component.
        set->removeCharactersInString(":#[]@!$&'()*+,;=");
        return set;
    }();
    return *allowed;
}

ns::Ref<ns::String> escapeSlice(const ns::String& slice) {
    if (auto escaped = slice.stringByAddingPercentEncodingWithAllowedCharacters(queryComponentAllowed())) {
        return escaped;
    }
    // Only a lone surrogate has no UTF-8 form: send U+FFFD rather than lose the rest.
    return ns::String::make(std::string(slice.utf8()))
        ->stringByAddingPercentEncodingWithAllowedCharacters(queryComponentAllowed());
}

// Ascending by each object's text form, as the platform's description sort does.
std::vector<ns::Id> sortedByDescription(std::vector<ns::Id> objects) {
    std::vector<std::pair<ns::Ref<ns::String>, ns::Id>> keyed;
    keyed.reserve(objects.size());
    for (auto& object : objects) keyed.emplace_back(ns::String::make(ns::textOf(object)), std::move(object));
    std::stable_sort(keyed.begin(), keyed.end(), [](const auto& a, const auto& b) {
        return a.first->compare(*b.first) == ns::ComparisonResult::Ascending;
    });
    std::vector<ns::Id> out;
    out.reserve(keyed.size());
    for (auto& entry : keyed) out.push_back(std::move(entry.second));
    return out;
}

void appendPairs(const ns::Id& key, const ns::Id& value, std::vector<ns::Ref<SDPQueryStringPair>>& out) {
    if (auto dictionary = ns::cast<ns::Dictionary>(value)) {
        std::vector<ns::Id> keys;
        keys.reserve(dictionary->count());
        for (const ns::Id& nestedKey : *dictionary) keys.push_back(nestedKey);
        for (const ns::Id& nestedKey : sortedByDescription(std::move(keys))) {
            ns::Id nestedValue = dictionary->objectForKey(nestedKey);
            if (!nestedValue) continue;
            ns::Id field = key ? ns::Id(ns::String::withFormat("%@[%@]", key, nestedKey)) : nestedKey;
            appendPairs(field, nestedValue, out);
        }
    } else if (auto array = ns::cast<ns::Array>(value)) {
        ns::Id field = ns::String::withFormat("%@[]", key);
        for (const ns::Id& element : *array) appendPairs(field, element, out);
    } else if (auto set = ns::cast<ns::Set>(value)) {
        std::vector<ns::Id> members;
        members.reserve(set->count());
        for (const ns::Id& member : *set) members.push_back(member);
        for (const ns::Id& member : sortedByDescription(std::move(members))) appendPairs(key, member, out);
    } else {
        out.push_back(SDPQueryStringPair::make(key, value));
    }
}

}  // namespace

ns::Ref<ns::String> SDPEscapeQueryComponent(const ns::String& string) {
    const uint64_t length = string.length();
    if (length == 0) return ns::String::make("");
    std::string escaped;
    uint64_t index = 0;
    while (index < length) {
        ns::Range range{index, std::min(length - index, EscapeBatchSize)};
        // Never cut a surrogate pair or a base character from its marks.
        range = string.rangeOfComposedCharacterSequencesForRange(range);
        if (auto escapedSlice = escapeSlice(*string.substringWithRange(range))) escaped += escapedSlice->utf8();
        index += range.length;
    }
    return ns::String::make(std::move(escaped));
}

std::vector<ns::Ref<SDPQueryStringPair>> SDPQueryStringPairsFromKeyAndValue(const ns::Id& key, const ns::Id& value) {
    std::vector<ns::Ref<SDPQueryStringPair>> pairs;
    appendPairs(key, value, pairs);
    return pairs;
}

ns::Ref<ns::String> SDPQueryStringFromParameters(const ns::Id& parameters) {
    std::string text;
    bool first = true;
    for (const auto& pair : SDPQueryStringPairsFromKeyAndValue(nullptr, parameters)) {
        if (!first) text += '&';
        first = false;
        text += pair->URLEncodedStringValue()->utf8();
    }
    return ns::String::make(std::move(text));
}
