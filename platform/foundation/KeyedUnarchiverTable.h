#pragma once
// The object table of a keyed archive as read from its bytes, before any
// object is made. Internal to the foundation.

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/KeyedArchiverFormat.h"
#include "platform/foundation/Range.h"

namespace ns::archive {

struct Field {
    char tag = FieldObject;
    uint64_t uid = 0;
    int64_t integer = 0;
    double real = 0;
};

struct Record {
    std::vector<std::pair<std::string_view, Field>> fields;

    const Field* find(std::string_view key) const {
        // Later fields win, as the archiver kept the last write.
        for (auto it = fields.rbegin(); it != fields.rend(); ++it) {
            if (it->first == key) return &it->second;
        }
        return nullptr;
    }
};

// One object of the table as read, before it is made.
struct Entry {
    uint8_t kind = KindNull;
    bool isMutable = false;
    std::string_view text;  // string, data, decimal, URL, class name, number type
    char numberTag = 0;
    int64_t integer = 0;
    uint64_t unsignedInteger = 0;
    double real = 0;
    std::vector<uint64_t> refs;  // elements, key/value pairs, URL base
    std::vector<Range> ranges;
    Record record;
};

// Reads the whole table and the top record, checking every count, length
// and uid against the bytes; false when anything is out of place. Views in
// the result point into `bytes`.
bool readTable(std::string_view bytes, std::vector<Entry>& entries, Record& top);

}  // namespace ns::archive
