#pragma once
// Decodes JSON bodies ("application/json", "text/json", "text/javascript")
// with the platform's reader; optionally drops keys holding null.
//
// Through the session manager, what a reply is parsed into is held with the
// reply and counted in its share of the 96 MiB every reply in flight shares
// (BytesOfAllSessionReplies, ReplyBudget.h), charged as the parse goes: a
// parse that would pass it stops, and the task fails -1103 with a log line
// naming its request. Records as a game server lists them cost about 3.6
// times their bytes once read (keys shared, numbers and short texts held in
// their containers' slots, JSONValues.h), so one reply of up to about 20 MB
// of them loads alone, and twenty of 1 MB or ten of 2 MB at once; an array
// of scalars or of empty containers costs 16 bytes an element, so an 8 MiB
// reply of them holds 45-64 MiB, and several at once meet the bound.

#include <cstdint>

#include "net/SDPHTTPResponseSerializer.h"

class SDPJSONResponseSerializer : public SDPHTTPResponseSerializer {
    RT_DECLARE_CLASS(SDPJSONResponseSerializer)
public:
    SDPJSONResponseSerializer();
    static ns::Ref<SDPJSONResponseSerializer> serializer() { return serializerWithReadingOptions(0); }
    static ns::Ref<SDPJSONResponseSerializer> serializerWithReadingOptions(uint64_t options);

    uint64_t readingOptions() const { return readingOptions_; }
    void setReadingOptions(uint64_t options) { readingOptions_ = options; }
    bool removesKeysWithNullValues() const { return removesKeysWithNullValues_; }
    void setRemovesKeysWithNullValues(bool removes) { removesKeysWithNullValues_ = removes; }

    // nil for an empty body or a single space; a status error still decodes.
    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    ns::Id copy() const override;

private:
    uint64_t readingOptions_ = 0;
    bool removesKeysWithNullValues_ = false;
};

// Dictionaries without their null-valued keys, recursively through arrays
// (whose null elements stay) and dictionaries; mutable containers when
// `readingOptions` has the mutable-containers bit. What the reader made as
// immutable containers is copied as the reader holds it (JSONWithoutNulls,
// JSONValues.h): values in place, key lists shared, a container with
// nothing to leave out itself: 8 MB of records, read and copied through the
// session manager, grow the process by about 50 MiB, their bytes included.
// The copy is charged to the reply share in force (ReplyCharge):
// nil once the reply may hold no more.
ns::Id SDPJSONObjectByRemovingKeysWithNullValues(const ns::Id& object, uint64_t readingOptions);
