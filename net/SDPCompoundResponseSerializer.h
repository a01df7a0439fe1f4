#pragma once
// Tries its serializers in order and answers with the first object one of
// them gives; the body itself when none does.

#include "net/SDPHTTPResponseSerializer.h"
#include "platform/foundation/Array.h"

class SDPCompoundResponseSerializer : public SDPHTTPResponseSerializer {
    RT_DECLARE_CLASS(SDPCompoundResponseSerializer)
public:
    SDPCompoundResponseSerializer() = default;
    // A compound with no members, which hands back the body as the base
    // serializer does until members are set.
    static ns::Ref<SDPCompoundResponseSerializer> serializer();
    static ns::Ref<SDPCompoundResponseSerializer> compoundSerializerWithResponseSerializers(
        const ns::Ref<ns::Array>& responseSerializers);

    // Members that are not response serializers are skipped.
    const ns::Ref<ns::Array>& responseSerializers() const { return responseSerializers_; }
    void setResponseSerializers(const ns::Ref<ns::Array>& serializers);

    ns::Id responseObjectForResponse(const ns::Ref<ns::URLResponse>& response, const ns::Ref<ns::Data>& data,
                                     ns::Ref<ns::Error>* error) override;

    void encodeWithCoder(ns::KeyedArchiver& coder) const override;
    bool initWithCoder(ns::KeyedUnarchiver& coder) override;
    ns::Id copy() const override;

private:
    ns::Ref<ns::Array> responseSerializers_;
};
