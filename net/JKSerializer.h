#pragma once
// The codec's writer of JSON text: arrays, dictionaries, strings, numbers
// and null in, UTF-8 JSON text out as data or a string, compact or pretty
// printed, optionally escaping non-ASCII characters and "/". Objects of any
// other class go through an optional formatter (a block, a delegate's
// method, or both) that returns an encodable replacement.
//
// Bad data gives nil and, when asked, one error in JKErrorDomain (code -1)
// with the message as its localized description; on success the caller's
// error is cleared. Misuse raises ns::Exception.
//
// Each call builds its own encode state and frees it before returning, so
// any instance is ready for the next call (an explicit release of the state
// would have nothing left to do and is not offered). Calls on one thread
// share only scratch memory and what they learnt of classes' kinds.
// The class form of `serializeObject:options:encodeOption:block:delegate:
// selector:error:` is JKSerializer::serializeObject; the instance form is
// serialize().

#include <functional>
#include <string_view>

#include "net/JKCodecOptions.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

// Turns an object the encoder cannot write into one it can, or nil.
using JKUnsupportedClassFormatter = std::function<ns::Id(const ns::Id& object)>;

// The delegate form of the formatter: a delegate hands out its method for a
// selector name, or an empty function when it has none (it does not respond
// to the selector).
class JKSerializerDelegate {
public:
    virtual ~JKSerializerDelegate() = default;
    virtual JKUnsupportedClassFormatter methodForSelector(std::string_view selector) = 0;
};

class JKSerializer : public ns::Object {
    RT_DECLARE_CLASS(JKSerializer)
public:
    // A new serializer's serialize().
    static ns::Id serializeObject(const ns::Id& object, JKSerializeOptionFlags options,
                                  JKEncodeOptionType encodeOption, const JKUnsupportedClassFormatter& block,
                                  JKSerializerDelegate* delegate, const char* selector,
                                  ns::Ref<ns::Error>* error = nullptr);

    // The ns::Data or ns::String of the JSON text, by the low three bits of
    // the encode option (JKEncodeAsData, JKEncodeAsString), or nil. A
    // delegate without a selector, or one that does not respond to it,
    // raises NSInvalidArgumentException.
    ns::Id serialize(const ns::Id& object, JKSerializeOptionFlags options, JKEncodeOptionType encodeOption,
                     const JKUnsupportedClassFormatter& block, JKSerializerDelegate* delegate, const char* selector,
                     ns::Ref<ns::Error>* error = nullptr);
};
