#pragma once
// Keyed archiving of object graphs into bytes of our own format.
//
// Values (String, Number, DecimalNumber, Data, Date, URL, Null) and
// collections (Array, Dictionary, Set, IndexSet; the mutable kinds stay
// mutable) are archived natively; any other object must adopt ns::Coding.
// Every object is written once: shared references and cycles come back as
// the same object.
//
// Format (integers little-endian; "varint" is LEB128, "zigzag" its signed form):
//   archive := "GHKA" version:u8=1 count:varint object*count top:record
//   object  := kind:u8 body
//     0 null
//     1 string      flags text
//     2 number      type:text ('q', 'i', 'd', 'c'...) value
//                   value := 'q' zigzag | 'Q' varint | 'd' f64 | 'B' u8
//     3 decimal     text (its plain decimal form)
//     4 data        flags bytes:text
//     5 date        seconds since 1970:f64
//     6 URL         relative:text base:uid
//     7 array       flags count:varint uid*count
//     8 dictionary  flags count:varint (key:uid value:uid)*count
//     9 set         flags count:varint uid*count
//    10 index set   flags count:varint (location:varint length:varint)*count
//    11 coded       class name:text record
//   record  := count:varint (key:text field)*count
//   field   := 'o' uid | 'i' zigzag | 'b' u8 | 'd' f64
//   text    := length:varint bytes;  flags := u8, bit 0 = mutable
//   uid     := varint: 0 is nil, k the k-th object of the table
// The top record holds the root object under "root".

#include <cstdint>
#include <memory>
#include <string_view>

#include "platform/foundation/Coding.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Object.h"

namespace ns {

class KeyedArchiver {
public:
    // Objects nested deeper than this are refused (a graph that deep would
    // exhaust the stack of its reader).
    static constexpr unsigned MaxDepth = 1000;

    // nil and an error (CocoaErrorDomain, CoderInvalidValueError) when an
    // object cannot be archived or, with requiringSecureCoding, when a coded
    // class does not support secure coding.
    static Ref<Data> archivedDataWithRootObject(const Id& root, bool requiringSecureCoding, Ref<Error>* error);
    // The older form: raises NSInvalidArgumentException for an object that
    // cannot be archived, as the platform does.
    static Ref<Data> archivedDataWithRootObject(const Id& root);

    KeyedArchiver(const KeyedArchiver&) = delete;
    KeyedArchiver& operator=(const KeyedArchiver&) = delete;
    ~KeyedArchiver();

    bool requiresSecureCoding() const;

    // For Coding::encodeWithCoder: a key written twice keeps its last value.
    void encodeObject(const Id& object, std::string_view key);
    void encodeBool(bool value, std::string_view key);
    void encodeInt(int32_t value, std::string_view key) { encodeInt64(value, key); }
    void encodeInt64(int64_t value, std::string_view key);
    void encodeDouble(double value, std::string_view key);

private:
    struct Impl;
    KeyedArchiver(bool requiringSecureCoding, bool raises);
    Ref<Data> finish(Ref<Error>* error);

    std::unique_ptr<Impl> impl_;
};

}  // namespace ns
