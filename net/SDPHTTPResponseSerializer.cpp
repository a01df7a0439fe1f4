#include "net/SDPHTTPResponseSerializer.h"

#include "platform/foundation/HTTPURLResponse.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/URLError.h"
#include "net/SDPURLRequestSerialization.h"

RT_DEFINE_CLASS(SDPHTTPResponseSerializer, ns::Object, "SDPHTTPResponseSerializer")

namespace {

ns::Ref<ns::Error> validationError(int64_t code, std::string description, const ns::HTTPURLResponse& response,
                                   const ns::Ref<ns::Data>& data) {
    auto userInfo = ns::MutableDictionary::make();
    userInfo->setObjectForKey(ns::str(std::move(description)), ns::LocalizedDescriptionKey);
    userInfo->setObjectForKey(response.URL(), ns::URLErrorFailingURLErrorKey);
    userInfo->setObjectForKey(response.self(), SDPNetworkingOperationFailingURLResponseErrorKey);
    if (data) userInfo->setObjectForKey(data, SDPNetworkingOperationFailingURLResponseDataErrorKey);
    return ns::Error::make(SDPURLResponseSerializationErrorDomain, code, userInfo);
}

}  // namespace

SDPHTTPResponseSerializer::SDPHTTPResponseSerializer()
    : acceptableStatusCodes_(ns::IndexSet::indexSetWithIndexesInRange(ns::Range{200, 100})) {}

void SDPHTTPResponseSerializer::setAcceptableStatusCodes(const ns::Ref<ns::IndexSet>& codes) {
    acceptableStatusCodes_ = codes ? ns::cast<ns::IndexSet>(codes->copy()) : nullptr;
}

void SDPHTTPResponseSerializer::setAcceptableContentTypes(const ns::Ref<ns::Set>& types) {
    acceptableContentTypes_ = types ? ns::cast<ns::Set>(types->copy()) : nullptr;
}

bool SDPHTTPResponseSerializer::validateResponse(const ns::Ref<ns::URLResponse>& response,
                                                 const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) const {
    auto http = ns::cast<ns::HTTPURLResponse>(response);
    if (!http) return true;
    bool valid = true;
    ns::Ref<ns::Error> validation;

    const auto& mimeType = http->MIMEType();
    if (acceptableContentTypes_ && !(mimeType && acceptableContentTypes_->containsObject(mimeType))) {
        if (data && data->length() > 0 && http->URL()) {
            validation = validationError(
                ns::URLErrorCannotDecodeContentData,
                ns::format(SDPNetworkingLocalizedString("Request failed: unacceptable content-type: %@")->utf8(),
                           mimeType),
                *http, data);
        }
        valid = false;
    }

    const int64_t status = http->statusCode();
    if (acceptableStatusCodes_ && !(status >= 0 && acceptableStatusCodes_->containsIndex(uint64_t(status))) &&
        http->URL()) {
        auto statusError =
            validationError(ns::URLErrorBadServerResponse,
                            ns::format(SDPNetworkingLocalizedString("Request failed: %@ (%ld)")->utf8(),
                                       ns::HTTPURLResponse::localizedStringForStatusCode(status), status),
                            *http, data);
        validation = SDPErrorWithUnderlyingError(statusError, validation);
        valid = false;
    }

    if (!valid && error) *error = validation;
    return valid;
}

bool SDPHTTPResponseSerializer::shouldStopAfterValidating(const ns::Ref<ns::URLResponse>& response,
                                                          const ns::Ref<ns::Data>& data,
                                                          ns::Ref<ns::Error>* error) const {
    if (validateResponse(response, data, error)) return false;
    return !error || SDPErrorOrUnderlyingErrorHasCodeInDomain(*error, ns::URLErrorCannotDecodeContentData,
                                                              SDPURLResponseSerializationErrorDomain);
}

ns::Id SDPHTTPResponseSerializer::responseObjectForResponse(const ns::Ref<ns::URLResponse>& response,
                                                            const ns::Ref<ns::Data>& data, ns::Ref<ns::Error>* error) {
    validateResponse(response, data, error);
    return data;
}

void SDPHTTPResponseSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(acceptableStatusCodes_, "acceptableStatusCodes");
    coder.encodeObject(acceptableContentTypes_, "acceptableContentTypes");
}

bool SDPHTTPResponseSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    acceptableStatusCodes_ = coder.decodeObjectOfClass<ns::IndexSet>("acceptableStatusCodes");
    acceptableContentTypes_ = coder.decodeObjectOfClass<ns::Set>("acceptableContentTypes");
    return true;
}

ns::Id SDPHTTPResponseSerializer::copy() const {
    auto serializer = ns::cast<SDPHTTPResponseSerializer>(classObject()->create());
    if (!serializer) serializer = std::make_shared<SDPHTTPResponseSerializer>();
    serializer->setAcceptableStatusCodes(acceptableStatusCodes_);
    serializer->setAcceptableContentTypes(acceptableContentTypes_);
    return serializer;
}
