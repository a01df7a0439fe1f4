#pragma once
// The codec's reader of JSON text: UTF-8 bytes in, a tree of JKDictionary,
// JKArray, strings, numbers, the boolean numbers and null out. A single pass
// of recursive descent with its own tokenizer and UTF-8 validation; the root
// must be an object or an array. A decoder keeps a cache of up to 1,024
// strings and numbers between parses, so equal values are created once.
//
// Bad input gives nil and, when asked, one error in JKErrorDomain (code -1)
// whose user info holds the message, JKAtIndexKey and JKLineNumberKey; only
// the first error of a parse counts. Misuse raises ns::Exception.
//
// One decoder serves one thread at a time. Each form with and without an
// error pointer is one method with a defaulted pointer.

#include <cstddef>
#include <memory>

#include "net/JKCodecOptions.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

struct JKParseState;

class JSONDecoder : public ns::Object {
    RT_DECLARE_CLASS(JSONDecoder)
public:
    // A new decoder, or nil when memory ran out.
    static ns::Ref<JSONDecoder> decoder() { return decoderWithParseOptions(JKParseOptionStrict); }
    static ns::Ref<JSONDecoder> decoderWithParseOptions(JKParseOptionFlags options);

    JSONDecoder() : JSONDecoder(JKParseOptionStrict) {}
    // Options of 16 or more raise NSInvalidArgumentException "Invalid parse options.".
    explicit JSONDecoder(JKParseOptionFlags options);
    ~JSONDecoder() override;

    // The root container, or nil. The error is written only when the parse
    // failed. A null pointer raises NSInvalidArgumentException.
    ns::Id objectWithUTF8String(const char* string, size_t length, ns::Ref<ns::Error>* error = nullptr);
    // The same with every container of the tree mutable.
    ns::Id mutableObjectWithUTF8String(const char* string, size_t length, ns::Ref<ns::Error>* error = nullptr);
    // A nil data object raises NSInvalidArgumentException.
    ns::Id objectWithData(const ns::Data* data, ns::Ref<ns::Error>* error = nullptr);
    ns::Id objectWithData(const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error = nullptr) {
        return objectWithData(data.get(), error);
    }
    ns::Id mutableObjectWithData(const ns::Data* data, ns::Ref<ns::Error>* error = nullptr);
    ns::Id mutableObjectWithData(const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error = nullptr) {
        return mutableObjectWithData(data.get(), error);
    }
    // Older names of the immutable forms.
    ns::Id parseUTF8String(const char* string, size_t length, ns::Ref<ns::Error>* error = nullptr) {
        return objectWithUTF8String(string, length, error);
    }
    ns::Id parseJSONData(const ns::Data* data, ns::Ref<ns::Error>* error = nullptr) {
        return objectWithData(data, error);
    }

    // Drops every cached string and number.
    void clearCache();
    // Frees the parse state; later parses raise NSInternalInconsistencyException
    // "parseState is NULL.". The destructor does it; one-shot users (the
    // JKCodec functions) call it as soon as they are done.
    void cleanUp();

private:
    ns::Id parse(const char* string, size_t length, bool mutableCollections, ns::Ref<ns::Error>* error);

    std::unique_ptr<JKParseState> parseState_;
};
