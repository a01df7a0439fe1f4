#pragma once
// HTTP header fields: names compare without regard to case, the first
// spelling of a name is kept, and order is the order names first appeared.
// A request's and a response's headers are kept this way, and handed out as
// a dictionary that looks names up the same way.
//
// Names are found through an index of their lower-cased spelling, so a head
// of n fields is built, and read, in time linear in n: a server may send
// tens of thousands of header lines in one reply. The index hashes names
// with a seed of the process's own, so no server can choose names that all
// collide.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"

namespace ns {

class HTTPHeaderFields {
public:
    using Field = std::pair<std::string, std::string>;

    HTTPHeaderFields() = default;
    // Text keys and values of `dictionary` (others described); nil gives none.
    static HTTPHeaderFields fromDictionary(const Dictionary* dictionary);

    // nullptr when absent.
    const std::string* value(std::string_view name) const;
    bool contains(std::string_view name) const { return value(name) != nullptr; }
    // Replaces the value (the name keeps its first spelling).
    void set(std::string_view name, std::string value);
    // Appends to an existing value after ", " (the platform's addValue).
    void add(std::string_view name, std::string_view value);
    void remove(std::string_view name);
    bool empty() const { return fields_.empty(); }
    const std::vector<Field>& fields() const { return fields_; }

    // An immutable dictionary of the fields whose lookups ignore case.
    Ref<Dictionary> dictionary() const;

    // Room for `count` fields in all, made at once.
    void reserve(size_t count);

    static bool namesEqual(std::string_view a, std::string_view b);
    // How many times namesEqual ran on the calling thread: lets a test see
    // that fields are found through the index, not by comparing names.
    static uint64_t nameComparisonsForTesting();

    // Where each name of a list of fields is: open addressing over a table
    // at most half full. `nameAt(place)` gives the name at each place.
    class Index {
    public:
        static constexpr size_t npos = size_t(-1);
        template <class NameAt>
        size_t find(std::string_view name, const NameAt& nameAt) const;
        // `name`, not yet in the index, is at `place`.
        void insert(std::string_view name, size_t place);
        void reserve(size_t count);
        void clear();

    private:
        struct Slot {
            uint32_t place = 0;  // the place + 1; 0 for an empty slot
            uint32_t hash = 0;
        };
        void place(Slot slot);

        std::vector<Slot> slots_;
        size_t count_ = 0;
    };

private:
    size_t find(std::string_view name) const;

    std::vector<Field> fields_;
    Index index_;
};

// Seconds since 1970 of an HTTP date in any of its historical forms
// ("Sun, 06 Nov 1994 08:49:37 GMT", "Sunday, 06-Nov-94 08:49:37 GMT",
// "Sun Nov  6 08:49:37 1994"), read leniently as cookies need; nullopt when
// no day, month, year and time can be found.
std::optional<double> parseHTTPDate(std::string_view text);

}  // namespace ns
