#pragma once
// The platform's JSON reader and writer over the core values: objects become
// dictionaries (keys in document order), arrays arrays, strings String,
// integers signed (or unsigned above the signed range) numbers, other
// numbers doubles, true/false the boolean numbers, null the Null singleton.
// Small integers are shared numbers too (Number::sharedWithLongLong), so an
// array of zeros costs a slot per zero, not an object. While a ReplyCharge
// is in force on the reading thread, what a read makes is charged to it,
// and a read past its budget gives nil with an error.
//
// Reading reports bad input as an error in CocoaErrorDomain, code 3840, whose
// user info holds the reader's text under "NSDebugDescription" ("Garbage at
// end.", "Invalid value around character 0.", ...) beside the platform's
// localized description; character positions are byte offsets into the
// UTF-8 text. Writing raises NSInvalidArgumentException
// for objects that have no JSON form, as the platform does.

#include <cstdint>

#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Object.h"

namespace ns {

enum JSONReadingOptions : uint64_t {
    JSONReadingMutableContainers = 1 << 0,
    JSONReadingMutableLeaves = 1 << 1,  // strings become MutableString
    JSONReadingFragmentsAllowed = 1 << 2,
};

enum JSONWritingOptions : uint64_t {
    JSONWritingPrettyPrinted = 1 << 0,  // two-space indentation, " : " after keys
    JSONWritingSortedKeys = 1 << 1,     // keys in String::compare order
    JSONWritingFragmentsAllowed = 1 << 2,
    JSONWritingWithoutEscapingSlashes = 1 << 3,
};

class JSONSerialization {
public:
    // The error code of unreadable JSON.
    static constexpr int64_t ReadCorruptError = 3840;
    // Arrays and objects nested deeper than this are refused, by the reader
    // with an error and by the writer with an exception (a cycle ends here).
    static constexpr unsigned MaxDepth = 512;

    // UTF-8 text, or UTF-16/UTF-32 told by a byte-order mark or by the zero
    // bytes of its first characters. Without JSONReadingFragmentsAllowed the
    // top level must be an array or an object. nil data raises
    // NSInvalidArgumentException; bad text gives nil and the error.
    static Id JSONObjectWithData(const Data* data, uint64_t options, Ref<Error>* error = nullptr);
    static Id JSONObjectWithData(const Ref<Data>& data, uint64_t options, Ref<Error>* error = nullptr) {
        return JSONObjectWithData(data.get(), options, error);
    }

    // UTF-8 JSON, compact unless pretty-printed; "/" is written "\/" unless
    // JSONWritingWithoutEscapingSlashes. Raises NSInvalidArgumentException for
    // a top level that is not an array or a dictionary (without fragments), a
    // value of another class, a non-string key, NaN or an infinity.
    static Ref<Data> dataWithJSONObject(const Id& object, uint64_t options, Ref<Error>* error = nullptr);

    // Whether dataWithJSONObject would write the object without fragments.
    static bool isValidJSONObject(const Id& object);
};

}  // namespace ns
