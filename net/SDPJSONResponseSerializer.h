#pragma once
// Decodes JSON bodies ("application/json", "text/json", "text/javascript")
// with the platform's reader; optionally drops keys holding null.

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
// `readingOptions` has the mutable-containers bit. The copy is charged to
// the reply share in force (ReplyCharge): nil once the reply may hold no
// more.
ns::Id SDPJSONObjectByRemovingKeysWithNullValues(const ns::Id& object, uint64_t readingOptions);
