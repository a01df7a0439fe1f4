#include "net/SDPJSONRequestSerializer.h"

#include "platform/foundation/JSONSerialization.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Number.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(SDPJSONRequestSerializer, SDPHTTPRequestSerializer, "SDPJSONRequestSerializer")

namespace {

// The platform's code for an object that cannot be written.
constexpr int64_t WriteInvalidError = 3852;

}  // namespace

ns::Ref<SDPJSONRequestSerializer> SDPJSONRequestSerializer::serializerWithWritingOptions(uint64_t options) {
    auto serializer = std::make_shared<SDPJSONRequestSerializer>();
    serializer->writingOptions_ = options;
    return serializer;
}

ns::Ref<ns::MutableURLRequest> SDPJSONRequestSerializer::requestBySerializingRequest(
    const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters, ns::Ref<ns::Error>* error) {
    bool finished = false;
    auto mutableRequest = requestForBody(request, parameters, error, "application/json", &finished);
    if (!finished && parameters) {
        ns::Ref<ns::Data> body;
        try {
            body = ns::JSONSerialization::dataWithJSONObject(parameters, writingOptions_, error);
        } catch (const ns::Exception& exception) {
            // The writer refuses values without a JSON form by raising; callers
            // of a serializer get an error instead.
            if (error) {
                *error = ns::Error::make(ns::CocoaErrorDomain, WriteInvalidError,
                                         ns::Dictionary::make({{"NSDebugDescription", ns::str(exception.reason())}}));
            }
        }
        mutableRequest->setHTTPBody(body);
    }
    return mutableRequest;
}

void SDPJSONRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    SDPHTTPRequestSerializer::encodeWithCoder(coder);
    coder.encodeInt64(int64_t(writingOptions_), "writingOptions");
}

bool SDPJSONRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (!SDPHTTPRequestSerializer::initWithCoder(coder)) return false;
    writingOptions_ = uint64_t(coder.decodeInt64ForKey("writingOptions"));
    return true;
}

ns::Id SDPJSONRequestSerializer::copy() const {
    auto serializer = ns::cast<SDPJSONRequestSerializer>(SDPHTTPRequestSerializer::copy());
    if (serializer) serializer->writingOptions_ = writingOptions_;
    return serializer;
}
