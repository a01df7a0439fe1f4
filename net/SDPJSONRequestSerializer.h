#pragma once
// Sends the parameters of body-carrying methods as JSON.

#include <cstdint>

#include "net/SDPHTTPRequestSerializer.h"

class SDPJSONRequestSerializer : public SDPHTTPRequestSerializer {
    RT_DECLARE_CLASS(SDPJSONRequestSerializer)
public:
    SDPJSONRequestSerializer() = default;
    static ns::Ref<SDPJSONRequestSerializer> serializer() { return serializerWithWritingOptions(0); }
    static ns::Ref<SDPJSONRequestSerializer> serializerWithWritingOptions(uint64_t options);

    // The platform JSON writer's options.
    uint64_t writingOptions() const { return writingOptions_; }
    void setWritingOptions(uint64_t options) { writingOptions_ = options; }

    // A writer error is passed out, but the request still comes back (with an
    // empty body).
    ns::Ref<ns::MutableURLRequest> requestBySerializingRequest(const ns::Ref<ns::URLRequest>& request,
                                                               const ns::Id& parameters,
                                                               ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    ns::Id copy() const override;

private:
    uint64_t writingOptions_ = 0;
};
