#include "net/SDPPropertyListResponseSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"

RT_DEFINE_CLASS(SDPPropertyListResponseSerializer, SDPHTTPResponseSerializer, "SDPPropertyListResponseSerializer")

SDPPropertyListResponseSerializer::SDPPropertyListResponseSerializer() {
    setAcceptableContentTypes(ns::Set::make({ns::str("application/x-plist")}));
}

ns::Ref<SDPPropertyListResponseSerializer> SDPPropertyListResponseSerializer::serializerWithFormat(
    ns::PropertyListFormat format, uint64_t readOptions) {
    auto serializer = std::make_shared<SDPPropertyListResponseSerializer>();
    serializer->format_ = format;
    serializer->readOptions_ = readOptions;
    return serializer;
}

ns::Id SDPPropertyListResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                                    const ns::Ref<ns::Data>& data,
                                                                    ns::Ref<ns::Error>* error) {
    if (shouldStopAfterValidating(response, data, error)) return nullptr;
    if (!data) return nullptr;
    ns::Ref<ns::Error> readError;
    ns::Id object = ns::PropertyListSerialization::propertyListWithData(data, readOptions_, nullptr, &readError);
    if (error) *error = SDPErrorWithUnderlyingError(readError, *error);
    return object;
}

void SDPPropertyListResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPResponseSerializer::encodeWithCoder(coder);
    coder.encodeObject(ns::Number::withUnsignedLongLong(uint64_t(format_)), "format");
    coder.encodeObject(ns::Number::withUnsignedLongLong(readOptions_), "readOptions");
}

bool SDPPropertyListResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPResponseSerializer::initWithCoder(coder)) return false;
    if (auto format = coder.decodeObjectOfClass<ns::Number>("format")) {
        format_ = ns::PropertyListFormat(format->unsignedLongLongValue());
    }
    if (auto options = coder.decodeObjectOfClass<ns::Number>("readOptions")) {
        readOptions_ = options->unsignedLongLongValue();
    }
    return true;
}

ns::Id SDPPropertyListResponseSerializer::copy() const {
    auto serializer = ns::cast<SDPPropertyListResponseSerializer>(classObject()->create());
    if (!serializer) serializer = std::make_shared<SDPPropertyListResponseSerializer>();
    serializer->format_ = format_;
    serializer->readOptions_ = readOptions_;
    return serializer;
}
