#pragma once
// Property lists: trees of dictionaries (text keys), arrays, texts, numbers,
// booleans, dates and data. XML is read and written; the older text form
// (OpenStep) is read only; the binary form is refused with an error.

#include <cstdint>
#include <string>

#include "platform/foundation/Array.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/runtime/Object.h"

namespace ns {

// The platform's format numbers.
enum class PropertyListFormat : uint64_t {
    OpenStep = 1,
    XML = 100,
    Binary = 200,
};

// Reading options: what comes back mutable.
enum PropertyListMutabilityOptions : uint64_t {
    PropertyListImmutable = 0,
    PropertyListMutableContainers = 1,
    PropertyListMutableContainersAndLeaves = 2,  // texts and data too
};

// Error codes, in CocoaErrorDomain.
inline constexpr int64_t PropertyListReadCorruptError = 3840;
inline constexpr int64_t PropertyListReadUnknownVersionError = 3841;
inline constexpr int64_t PropertyListWriteStreamError = 3851;

class PropertyListSerialization {
public:
    // Whether the whole tree can be written in the format.
    static bool propertyListIsValidForFormat(const Object* plist, PropertyListFormat format);

    // XML only (the others give error 3851). Dictionary keys are written in
    // sorted order, dates to the second. A value that is not a property list,
    // a non-text key or text XML cannot carry (a control character, a lone
    // surrogate) gives error 3851 rather than a file that cannot be read back.
    static Ref<Data> dataWithPropertyList(const Object* plist, PropertyListFormat format, Ref<Error>* error = nullptr);
    static Ref<Data> dataWithPropertyList(const Id& plist, PropertyListFormat format, Ref<Error>* error = nullptr) {
        return dataWithPropertyList(plist.get(), format, error);
    }

    // nil and error 3840 (with the reason under "NSDebugDescription") for
    // anything malformed; never throws on bad data.
    static Id propertyListWithData(const Data* data, uint64_t options = PropertyListImmutable,
                                   PropertyListFormat* format = nullptr, Ref<Error>* error = nullptr);
    static Id propertyListWithData(const Ref<Data>& data, uint64_t options = PropertyListImmutable,
                                   PropertyListFormat* format = nullptr, Ref<Error>* error = nullptr) {
        return propertyListWithData(data.get(), options, format, error);
    }
};

// A deep copy of a property list with immutable containers and leaves; nil
// when something in it is not a property-list value.
Id copyPropertyList(const Object* plist);

// The file read and parsed: nil with the file manager's error (260, 257...)
// when it cannot be read, error 3840 when it is corrupt.
Id propertyListWithContentsOfFile(const std::string& path, uint64_t options = PropertyListImmutable,
                                  Ref<Error>* error = nullptr);
// nil unless the file holds a property list of that kind.
Ref<Dictionary> dictionaryWithContentsOfFile(const std::string& path);
Ref<Array> arrayWithContentsOfFile(const std::string& path);
// As XML; atomically through a temporary file and a rename.
bool writePropertyListToFile(const Object* plist, const std::string& path, bool atomically, Ref<Error>* error = nullptr);

}  // namespace ns
