#pragma once
// Reads what KeyedArchiver wrote (the format is described in KeyedArchiver.h).
//
// Class-checked decoding (unarchivedObjectOfClasses, and decodeObjectOfClass
// inside it) refuses, before creating it, any object whose class is not a
// kind of one of the allowed classes: the root, and each object asked for
// with decodeObjectOfClass(es). Inside an allowed collection or coded object,
// the values and collections of the platform (String, Number, Data, Date,
// URL, Null, Array, Dictionary, Set, IndexSet) are accepted as well, but a
// coded class must always be named. A refusal is an error in
// CocoaErrorDomain, CoderReadCorruptError, whose "NSDebugDescription" reads
// "value for key 'root' was of unexpected class 'Player'. ...".
//
// Corrupt bytes give that error (or, for the unchecked call, an exception),
// never undefined behaviour.

#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

namespace ns {

class KeyedUnarchiver {
public:
    using Classes = std::vector<const rt::Class*>;

    // The root object, checked against `classes`; nil and an error for
    // unreadable data, a class outside the allowed ones, a coded class that
    // does not support secure coding, or an exception raised while decoding.
    static Id unarchivedObjectOfClasses(const Classes& classes, const Data* data, Ref<Error>* error);
    static Id unarchivedObjectOfClass(const rt::Class* cls, const Data* data, Ref<Error>* error) {
        return unarchivedObjectOfClasses(Classes{cls}, data, error);
    }
    template <class T>
    static Ref<T> unarchivedObjectOfClass(const Ref<Data>& data, Ref<Error>* error) {
        return cast<T>(unarchivedObjectOfClasses(Classes{T::staticClass()}, data.get(), error));
    }
    // The older, unchecked form: any class is decoded. Unreadable data raises
    // NSInvalidArgumentException and a failed decoding
    // NSInvalidUnarchiveOperationException, as on the platform; nil data
    // gives nil.
    static Id unarchiveObjectWithData(const Data* data);
    static Id unarchiveObjectWithData(const Ref<Data>& data) { return unarchiveObjectWithData(data.get()); }

    KeyedUnarchiver(const KeyedUnarchiver&) = delete;
    KeyedUnarchiver& operator=(const KeyedUnarchiver&) = delete;
    ~KeyedUnarchiver();

    // True inside the class-checked calls.
    bool requiresSecureCoding() const;

    // ---- For Coding::initWithCoder; each reads the record being decoded ----
    bool containsValueForKey(std::string_view key) const;
    // A scalar written with encodeBool/Int/Int64/Double comes back as a Number.
    Id decodeObjectForKey(std::string_view key);
    // Checked only in class-checked decoding, as on the platform; the typed
    // form casts (nil for another class) in either case.
    Id decodeObjectOfClasses(const Classes& classes, std::string_view key);
    Id decodeObjectOfClass(const rt::Class* cls, std::string_view key) { return decodeObjectOfClasses(Classes{cls}, key); }
    template <class T>
    Ref<T> decodeObjectOfClass(std::string_view key) {
        return cast<T>(decodeObjectOfClasses(Classes{T::staticClass()}, key));
    }
    // Missing keys give 0 / false; a number object under the key is read too.
    bool decodeBoolForKey(std::string_view key);
    // A value outside 32 bits fails the decoding.
    int32_t decodeIntForKey(std::string_view key);
    int64_t decodeInt64ForKey(std::string_view key);
    double decodeDoubleForKey(std::string_view key);

    // Fails the whole decoding with the error (the first one is kept);
    // decoding calls give nil and zeros from then on.
    void failWithError(const Ref<Error>& error);
    const Ref<Error>& error() const;

private:
    struct Impl;
    KeyedUnarchiver();

    std::unique_ptr<Impl> impl_;
};

}  // namespace ns
