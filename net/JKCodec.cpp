#include "net/JKCodec.h"

#include <cstring>
#include <string>

#include "net/JSONDecoder.h"
#include "platform/foundation/Unicode.h"

namespace JKCodec {

namespace {

// Text of a string as UTF-8: the stored bytes, unless a lone surrogate
// (which has no UTF-8 form) needs a "?" in its place.
std::string_view utf8Of(const ns::String& string, std::string& scratch) {
    const std::string& text = string.utf8();
    // A lone surrogate is stored as ED A0..BF xx: look for ED bytes first.
    if (!std::memchr(text.data(), 0xED, text.size()) || !ns::unicode::hasLoneSurrogate(text)) return text;
    scratch.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        char32_t cp;
        const size_t next = ns::unicode::next(text, i, cp);
        if (ns::unicode::isSurrogate(cp)) scratch += '?';
        else scratch.append(text, i, next - i);
        i = next;
    }
    return scratch;
}

ns::Id decode(const char* bytes, size_t length, JKParseOptionFlags options, bool mutableCollections,
              ns::Ref<ns::Error>* error) {
    JSONDecoder decoder(options);
    ns::Id result = mutableCollections ? decoder.mutableObjectWithUTF8String(bytes, length, error)
                                       : decoder.objectWithUTF8String(bytes, length, error);
    decoder.cleanUp();
    return result;
}

ns::Id decodeString(const ns::String& string, JKParseOptionFlags options, bool mutableCollections,
                    ns::Ref<ns::Error>* error) {
    std::string scratch;
    const std::string_view text = utf8Of(string, scratch);
    return decode(text.data(), text.size(), options, mutableCollections, error);
}

ns::Id decodeData(const ns::Data& data, JKParseOptionFlags options, bool mutableCollections,
                  ns::Ref<ns::Error>* error) {
    const char* bytes = data.length() ? reinterpret_cast<const char*>(data.bytes()) : "";
    return decode(bytes, data.length(), options, mutableCollections, error);
}

const JKUnsupportedClassFormatter noBlock;

// The receiver as a reference, without taking ownership of one that no
// shared reference holds (a value on the caller's stack).
ns::Id referenceTo(const ns::Object& receiver) {
    if (auto held = receiver.weak_from_this().lock()) return std::const_pointer_cast<ns::Object>(held);
    return ns::Id(ns::Id(), const_cast<ns::Object*>(&receiver));
}

template <class T>
ns::Ref<T> encode(const ns::Object& receiver, JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
                  const JKUnsupportedClassFormatter& block, JKSerializerDelegate* delegate, const char* selector,
                  ns::Ref<ns::Error>* error) {
    // The encode option decides the result's type, so no checked cast is needed.
    return std::static_pointer_cast<T>(
        JKSerializer::serializeObject(referenceTo(receiver), options, encodeOption, block, delegate, selector, error));
}

constexpr JKEncodeOptionType stringAsData = JKEncodeRequireString | JKEncodeAsData;            // 17
constexpr JKEncodeOptionType stringAsString = JKEncodeRequireString | JKEncodeAsString;        // 18
constexpr JKEncodeOptionType collectionAsData = JKEncodeRequireCollection | JKEncodeAsData;    // 9
constexpr JKEncodeOptionType collectionAsString = JKEncodeRequireCollection | JKEncodeAsString;  // 10

}  // namespace

ns::Id objectFromJSONString(const ns::String& string) { return decodeString(string, 0, false, nullptr); }
ns::Id objectFromJSONStringWithParseOptions(const ns::String& string, JKParseOptionFlags options,
                                            ns::Ref<ns::Error>* error) {
    return decodeString(string, options, false, error);
}
ns::Id mutableObjectFromJSONString(const ns::String& string) { return decodeString(string, 0, true, nullptr); }
ns::Id mutableObjectFromJSONStringWithParseOptions(const ns::String& string, JKParseOptionFlags options,
                                                   ns::Ref<ns::Error>* error) {
    return decodeString(string, options, true, error);
}

ns::Id objectFromJSONData(const ns::Data& data) { return decodeData(data, 0, false, nullptr); }
ns::Id objectFromJSONDataWithParseOptions(const ns::Data& data, JKParseOptionFlags options,
                                          ns::Ref<ns::Error>* error) {
    return decodeData(data, options, false, error);
}
ns::Id mutableObjectFromJSONData(const ns::Data& data) { return decodeData(data, 0, true, nullptr); }
ns::Id mutableObjectFromJSONDataWithParseOptions(const ns::Data& data, JKParseOptionFlags options,
                                                 ns::Ref<ns::Error>* error) {
    return decodeData(data, options, true, error);
}

ns::Ref<ns::Data> JSONData(const ns::String& string) {
    return encode<ns::Data>(string, 0, stringAsData, noBlock, nullptr, nullptr, nullptr);
}
ns::Ref<ns::Data> JSONDataWithOptions(const ns::String& string, JKSerializeOptionFlags options, bool includeQuotes,
                                      ns::Ref<ns::Error>* error) {
    const JKEncodeOptionType encodeOption = includeQuotes ? stringAsData : stringAsData | JKEncodeOmitQuotes;
    return encode<ns::Data>(string, options, encodeOption, noBlock, nullptr, nullptr, error);
}
ns::Ref<ns::String> JSONString(const ns::String& string) {
    return encode<ns::String>(string, 0, stringAsString, noBlock, nullptr, nullptr, nullptr);
}
ns::Ref<ns::String> JSONStringWithOptions(const ns::String& string, JKSerializeOptionFlags options,
                                          bool includeQuotes, ns::Ref<ns::Error>* error) {
    const JKEncodeOptionType encodeOption = includeQuotes ? stringAsString : stringAsString | JKEncodeOmitQuotes;
    return encode<ns::String>(string, options, encodeOption, noBlock, nullptr, nullptr, error);
}

// Arrays and dictionaries share every form; only the receiver's type differs.
#define JK_COLLECTION_FORMS(Collection)                                                                              \
    ns::Ref<ns::Data> JSONData(const Collection& receiver) {                                                        \
        return encode<ns::Data>(receiver, 0, collectionAsData, noBlock, nullptr, nullptr, nullptr);                 \
    }                                                                                                                \
    ns::Ref<ns::Data> JSONDataWithOptions(const Collection& receiver, JKSerializeOptionFlags options,                \
                                          ns::Ref<ns::Error>* error) {                                               \
        return encode<ns::Data>(receiver, options, collectionAsData, noBlock, nullptr, nullptr, error);             \
    }                                                                                                                \
    ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingDelegate(                                  \
        const Collection& receiver, JKSerializeOptionFlags options, JKSerializerDelegate* delegate,                  \
        const char* selector, ns::Ref<ns::Error>* error) {                                                           \
        return encode<ns::Data>(receiver, options, collectionAsData, noBlock, delegate, selector, error);           \
    }                                                                                                                \
    ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingBlock(                                     \
        const Collection& receiver, JKSerializeOptionFlags options, const JKUnsupportedClassFormatter& block,        \
        ns::Ref<ns::Error>* error) {                                                                                 \
        return encode<ns::Data>(receiver, options, collectionAsData, block, nullptr, nullptr, error);               \
    }                                                                                                                \
    ns::Ref<ns::String> JSONString(const Collection& receiver) {                                                    \
        return encode<ns::String>(receiver, 0, collectionAsString, noBlock, nullptr, nullptr, nullptr);             \
    }                                                                                                                \
    ns::Ref<ns::String> JSONStringWithOptions(const Collection& receiver, JKSerializeOptionFlags options,            \
                                              ns::Ref<ns::Error>* error) {                                           \
        return encode<ns::String>(receiver, options, collectionAsString, noBlock, nullptr, nullptr, error);         \
    }                                                                                                                \
    ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegate(                              \
        const Collection& receiver, JKSerializeOptionFlags options, JKSerializerDelegate* delegate,                  \
        const char* selector, ns::Ref<ns::Error>* error) {                                                           \
        return encode<ns::String>(receiver, options, collectionAsString, noBlock, delegate, selector, error);       \
    }                                                                                                                \
    ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingBlock(                                 \
        const Collection& receiver, JKSerializeOptionFlags options, const JKUnsupportedClassFormatter& block,        \
        ns::Ref<ns::Error>* error) {                                                                                 \
        return encode<ns::String>(receiver, options, collectionAsString, block, nullptr, nullptr, error);           \
    }

JK_COLLECTION_FORMS(ns::Array)
JK_COLLECTION_FORMS(ns::Dictionary)

#undef JK_COLLECTION_FORMS

}  // namespace JKCodec
