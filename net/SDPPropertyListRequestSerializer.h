#pragma once
// Sends the parameters of body-carrying methods as a property list.

#include <cstdint>

#include "net/SDPHTTPRequestSerializer.h"
#include "platform/foundation/PropertyList.h"

class SDPPropertyListRequestSerializer : public SDPHTTPRequestSerializer {
    RT_DECLARE_CLASS(SDPPropertyListRequestSerializer)
public:
    SDPPropertyListRequestSerializer() = default;
    static ns::Ref<SDPPropertyListRequestSerializer> serializer() {
        return serializerWithFormat(ns::PropertyListFormat::XML, 0);
    }
    static ns::Ref<SDPPropertyListRequestSerializer> serializerWithFormat(ns::PropertyListFormat format,
                                                                          uint64_t writeOptions);

    ns::PropertyListFormat format() const { return format_; }
    void setFormat(ns::PropertyListFormat format) { format_ = format; }
    uint64_t writeOptions() const { return writeOptions_; }
    void setWriteOptions(uint64_t options) { writeOptions_ = options; }

    // A writer error is passed out, but the request still comes back (with an
    // empty body).
    ns::Ref<ns::MutableURLRequest> requestBySerializingRequest(const ns::Ref<ns::URLRequest>& request,
                                                               const ns::Id& parameters,
                                                               ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    ns::Id copy() const override;

private:
    ns::PropertyListFormat format_ = ns::PropertyListFormat::XML;
    uint64_t writeOptions_ = 0;
};
