#include "net/SDPPropertyListRequestSerializer.h"

#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(SDPPropertyListRequestSerializer, SDPHTTPRequestSerializer, "SDPPropertyListRequestSerializer")

ns::Ref<SDPPropertyListRequestSerializer> SDPPropertyListRequestSerializer::serializerWithFormat(
    ns::PropertyListFormat format, uint64_t writeOptions) {
    auto serializer = std::make_shared<SDPPropertyListRequestSerializer>();
    serializer->format_ = format;
    serializer->writeOptions_ = writeOptions;
    return serializer;
}

ns::Ref<ns::MutableURLRequest> SDPPropertyListRequestSerializer::requestBySerializingRequest(
    const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters, ns::Ref<ns::Error>* error) {
    bool finished = false;
    auto mutableRequest = requestForBody(request, parameters, error, "application/x-plist", &finished);
    if (!finished && parameters) {
        // The platform writer takes no options; writeOptions is kept for archiving.
        mutableRequest->setHTTPBody(ns::PropertyListSerialization::dataWithPropertyList(parameters, format_, error));
    }
    return mutableRequest;
}

void SDPPropertyListRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64(int64_t(format_), "format");
    coder.encodeObject(ns::Number::withUnsignedLongLong(writeOptions_), "writeOptions");
}

bool SDPPropertyListRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPRequestSerializer::initWithCoder(coder)) return false;
    format_ = ns::PropertyListFormat(coder.decodeInt64ForKey("format"));
    if (auto options = coder.decodeObjectOfClass<ns::Number>("writeOptions")) {
        writeOptions_ = options->unsignedLongLongValue();
    }
    return true;
}

ns::Id SDPPropertyListRequestSerializer::copy() const {
    auto serializer = ns::cast<SDPPropertyListRequestSerializer>(SDPHTTPRequestSerializer::copy());
    if (serializer) {
        serializer->format_ = format_;
        serializer->writeOptions_ = writeOptions_;
    }
    return serializer;
}
