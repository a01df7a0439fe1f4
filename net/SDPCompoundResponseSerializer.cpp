#include "net/SDPCompoundResponseSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"

RT_DEFINE_CLASS(SDPCompoundResponseSerializer, SDPHTTPResponseSerializer, "SDPCompoundResponseSerializer")

ns::Ref<SDPCompoundResponseSerializer> SDPCompoundResponseSerializer::compoundSerializerWithResponseSerializers(
    const ns::Ref<ns::Array>& responseSerializers) {
    auto serializer = std::make_shared<SDPCompoundResponseSerializer>();
    serializer->setResponseSerializers(responseSerializers);
    return serializer;
}

ns::Ref<SDPCompoundResponseSerializer> SDPCompoundResponseSerializer::serializer() {
    return compoundSerializerWithResponseSerializers(ns::Array::make(std::vector<ns::Id>{}));
}

void SDPCompoundResponseSerializer::setResponseSerializers(const ns::Ref<ns::Array>& serializers) {
    responseSerializers_ = serializers ? ns::cast<ns::Array>(serializers->copy()) : nullptr;
}

ns::Id SDPCompoundResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                                const ns::Ref<ns::Data>& data,
                                                                ns::Ref<ns::Error>* error) {
    if (responseSerializers_) {
        for (const ns::Id& member : *responseSerializers_) {
            auto serializer = ns::cast<SDPHTTPResponseSerializer>(member);
            if (!serializer) continue;
            ns::Ref<ns::Error> serializerError;
            ns::Id object = serializer->responseObjectForResponse(response, data, &serializerError);
            if (object) {
                if (error) *error = SDPErrorWithUnderlyingError(serializerError, *error);
                return object;
            }
        }
    }
    return SDPHTTPResponseSerializer::responseObjectForResponse(response, data, error);
}

void SDPCompoundResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(responseSerializers_, "responseSerializers");
}

bool SDPCompoundResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPResponseSerializer::initWithCoder(coder)) return false;
    responseSerializers_ = ns::cast<ns::Array>(coder.decodeObjectOfClasses(
        {ns::Array::staticClass(), SDPHTTPResponseSerializer::staticClass()}, "responseSerializers"));
    return true;
}

ns::Id SDPCompoundResponseSerializer::copy() const {
    auto serializer = std::make_shared<SDPCompoundResponseSerializer>();
    serializer->setResponseSerializers(responseSerializers_);
    return serializer;
}
