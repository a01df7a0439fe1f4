#pragma once
// The JSON codec's conveniences on the platform's strings, data and
// collections, as free functions whose first argument is the receiver:
//
//   decoding (a fresh decoder per call; nothing survives between calls)
//     String   objectFromJSONString...         Data  objectFromJSONData...
//              mutableObjectFromJSONString...        mutableObjectFromJSONData...
//   encoding
//     String   JSONData, JSONString, and the ...WithOptions forms taking
//              includeQuotes (the root string with or without its quotes)
//     Array,   JSONData, JSONString, the ...WithOptions forms, and the forms
//     Dictionary  ...SerializeUnsupportedClassesUsingDelegate / ...UsingBlock
//
// A method with and without a trailing error argument is one function with
// a defaulted error pointer. Decoding errors are written only on failure;
// encoding clears the caller's error first.

#include "net/JKCodecOptions.h"
#include "net/JKSerializer.h"
#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/String.h"

namespace JKCodec {

// ---- Decoding text ----
ns::Id objectFromJSONString(const ns::String& string);
ns::Id objectFromJSONStringWithParseOptions(const ns::String& string, JKParseOptionFlags options,
                                            ns::Ref<ns::Error>* error = nullptr);
ns::Id mutableObjectFromJSONString(const ns::String& string);
ns::Id mutableObjectFromJSONStringWithParseOptions(const ns::String& string, JKParseOptionFlags options,
                                                   ns::Ref<ns::Error>* error = nullptr);

// ---- Decoding bytes ----
ns::Id objectFromJSONData(const ns::Data& data);
ns::Id objectFromJSONDataWithParseOptions(const ns::Data& data, JKParseOptionFlags options,
                                          ns::Ref<ns::Error>* error = nullptr);
ns::Id mutableObjectFromJSONData(const ns::Data& data);
ns::Id mutableObjectFromJSONDataWithParseOptions(const ns::Data& data, JKParseOptionFlags options,
                                                 ns::Ref<ns::Error>* error = nullptr);

// ---- Encoding a string as a JSON string ----
ns::Ref<ns::Data> JSONData(const ns::String& string);
ns::Ref<ns::Data> JSONDataWithOptions(const ns::String& string, JKSerializeOptionFlags options, bool includeQuotes,
                                      ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONString(const ns::String& string);
ns::Ref<ns::String> JSONStringWithOptions(const ns::String& string, JKSerializeOptionFlags options,
                                          bool includeQuotes, ns::Ref<ns::Error>* error = nullptr);

// ---- Encoding arrays ----
ns::Ref<ns::Data> JSONData(const ns::Array& array);
ns::Ref<ns::Data> JSONDataWithOptions(const ns::Array& array, JKSerializeOptionFlags options,
                                      ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingDelegate(
    const ns::Array& array, JKSerializeOptionFlags options, JKSerializerDelegate* delegate, const char* selector,
    ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingBlock(const ns::Array& array,
                                                                          JKSerializeOptionFlags options,
                                                                          const JKUnsupportedClassFormatter& block,
                                                                          ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONString(const ns::Array& array);
ns::Ref<ns::String> JSONStringWithOptions(const ns::Array& array, JKSerializeOptionFlags options,
                                          ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegate(
    const ns::Array& array, JKSerializeOptionFlags options, JKSerializerDelegate* delegate, const char* selector,
    ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingBlock(
    const ns::Array& array, JKSerializeOptionFlags options, const JKUnsupportedClassFormatter& block,
    ns::Ref<ns::Error>* error = nullptr);

// ---- Encoding dictionaries ----
ns::Ref<ns::Data> JSONData(const ns::Dictionary& dictionary);
ns::Ref<ns::Data> JSONDataWithOptions(const ns::Dictionary& dictionary, JKSerializeOptionFlags options,
                                      ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingDelegate(
    const ns::Dictionary& dictionary, JKSerializeOptionFlags options, JKSerializerDelegate* delegate,
    const char* selector, ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::Data> JSONDataWithOptionsSerializeUnsupportedClassesUsingBlock(const ns::Dictionary& dictionary,
                                                                          JKSerializeOptionFlags options,
                                                                          const JKUnsupportedClassFormatter& block,
                                                                          ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONString(const ns::Dictionary& dictionary);
ns::Ref<ns::String> JSONStringWithOptions(const ns::Dictionary& dictionary, JKSerializeOptionFlags options,
                                          ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingDelegate(
    const ns::Dictionary& dictionary, JKSerializeOptionFlags options, JKSerializerDelegate* delegate,
    const char* selector, ns::Ref<ns::Error>* error = nullptr);
ns::Ref<ns::String> JSONStringWithOptionsSerializeUnsupportedClassesUsingBlock(
    const ns::Dictionary& dictionary, JKSerializeOptionFlags options, const JKUnsupportedClassFormatter& block,
    ns::Ref<ns::Error>* error = nullptr);

}  // namespace JKCodec
