#include "net/SDPHTTPRequestSerializer.h"

#include <algorithm>

#include "net/SDPHTTPRequestSerializerHeaders.h"
#include "net/SDPQueryString.h"
#include "net/SDPStreamingMultipartFormData.h"
#include "platform/foundation/Data.h"
#include "platform/foundation/KeyValueCoding.h"
#include "platform/foundation/KeyedArchiver.h"
#include "platform/foundation/KeyedUnarchiver.h"
#include "platform/foundation/Locale.h"
#include "platform/foundation/Null.h"
#include "platform/foundation/Number.h"
#include "platform/foundation/Text.h"
#include "platform/runtime/Exception.h"
#include "platform/uikit/KeyValueObserving.h"

RT_DEFINE_CLASS(SDPHTTPRequestSerializer, ns::Object, "SDPHTTPRequestSerializer",
                rt::property<SDPHTTPRequestSerializer>("allowsCellularAccess",
                                                       &SDPHTTPRequestSerializer::allowsCellularAccess_),
                rt::property<SDPHTTPRequestSerializer>("cachePolicy", &SDPHTTPRequestSerializer::cachePolicy_),
                rt::property<SDPHTTPRequestSerializer>("HTTPShouldHandleCookies",
                                                       &SDPHTTPRequestSerializer::HTTPShouldHandleCookies_),
                rt::property<SDPHTTPRequestSerializer>("HTTPShouldUsePipelining",
                                                       &SDPHTTPRequestSerializer::HTTPShouldUsePipelining_),
                rt::property<SDPHTTPRequestSerializer>("networkServiceType",
                                                       &SDPHTTPRequestSerializer::networkServiceType_),
                rt::property<SDPHTTPRequestSerializer>("timeoutInterval", &SDPHTTPRequestSerializer::timeoutInterval_))

const std::vector<std::string>& SDPHTTPRequestSerializerObservedKeyPaths() {
    static const std::vector<std::string> keyPaths = {
        "allowsCellularAccess",    "cachePolicy",        "HTTPShouldHandleCookies",
        "HTTPShouldUsePipelining", "networkServiceType", "timeoutInterval",
    };
    return keyPaths;
}

SDPHTTPRequestSerializer::SDPHTTPRequestSerializer()
    : HTTPMethodsEncodingParametersInURI_(ns::Set::make({ns::str("GET"), ns::str("HEAD"), ns::str("DELETE")})),
      mutableObservedChangedKeyPaths_(ns::MutableSet::make()),
      mutableHTTPRequestHeaders_(ns::MutableDictionary::make()) {
    mutableHTTPRequestHeaders_->setObjectForKey(
        ns::str(SDPAcceptLanguageHeaderValue(*ns::Locale::preferredLanguages())), "Accept-Language");
    mutableHTTPRequestHeaders_->setObjectForKey(ns::str(SDPUserAgentHeaderValue()), "User-Agent");

    // The serializer watches its own settings, so a setting marked as changed
    // is exactly one that announced a change (through a setter or a caller's
    // own will/did pair).
    for (const std::string& keyPath : SDPHTTPRequestSerializerObservedKeyPaths()) {
        observationTokens_.push_back(ns::addObserver(
            *this, keyPath, ns::KeyValueObservingOptionNew,
            [](ns::Object& object, const std::string& changedKeyPath, const ns::KeyValueChange& change) {
                static_cast<SDPHTTPRequestSerializer&>(object).observedSettingChanged(changedKeyPath, change.newValue);
            }));
    }
}

SDPHTTPRequestSerializer::~SDPHTTPRequestSerializer() {
    for (const ns::Id& token : observationTokens_) ns::removeObserver(token);
}

void SDPHTTPRequestSerializer::observedSettingChanged(const std::string& keyPath, const ns::Id& newValue) {
    if (ns::cast<ns::Null>(newValue)) {
        mutableObservedChangedKeyPaths_->removeObject(ns::str(keyPath));
    } else {
        mutableObservedChangedKeyPaths_->addObject(ns::str(keyPath));
    }
}

template <class T, class V>
void SDPHTTPRequestSerializer::setObserved(T& member, V value, std::string_view key) {
    ns::willChangeValueForKey(*this, key);
    member = value;
    ns::didChangeValueForKey(*this, key);
}

void SDPHTTPRequestSerializer::setAllowsCellularAccess(bool allows) {
    setObserved(allowsCellularAccess_, allows, "allowsCellularAccess");
}
void SDPHTTPRequestSerializer::setCachePolicy(uint64_t policy) { setObserved(cachePolicy_, policy, "cachePolicy"); }
void SDPHTTPRequestSerializer::setHTTPShouldHandleCookies(bool handle) {
    setObserved(HTTPShouldHandleCookies_, handle, "HTTPShouldHandleCookies");
}
void SDPHTTPRequestSerializer::setHTTPShouldUsePipelining(bool use) {
    setObserved(HTTPShouldUsePipelining_, use, "HTTPShouldUsePipelining");
}
void SDPHTTPRequestSerializer::setNetworkServiceType(uint64_t type) {
    setObserved(networkServiceType_, type, "networkServiceType");
}
void SDPHTTPRequestSerializer::setTimeoutInterval(double seconds) {
    setObserved(timeoutInterval_, seconds, "timeoutInterval");
}

bool SDPHTTPRequestSerializer::automaticallyNotifiesObserversForKey(std::string_view key) {
    const auto& keyPaths = SDPHTTPRequestSerializerObservedKeyPaths();
    return std::find(keyPaths.begin(), keyPaths.end(), key) == keyPaths.end();
}

// ---- Default headers ----

ns::Ref<ns::Dictionary> SDPHTTPRequestSerializer::HTTPRequestHeaders() const {
    return ns::cast<ns::Dictionary>(mutableHTTPRequestHeaders_->copy());
}

void SDPHTTPRequestSerializer::setValueForHTTPHeaderField(const ns::Ref<ns::String>& value, std::string_view field) {
    mutableHTTPRequestHeaders_->setValueForKey(value, field);
}

void SDPHTTPRequestSerializer::setValueForHTTPHeaderField(std::string_view value, std::string_view field) {
    setValueForHTTPHeaderField(ns::str(std::string(value)), field);
}

ns::Ref<ns::String> SDPHTTPRequestSerializer::valueForHTTPHeaderField(std::string_view field) const {
    return ns::cast<ns::String>(mutableHTTPRequestHeaders_->objectForKey(field));
}

void SDPHTTPRequestSerializer::setAuthorizationHeaderFieldWithUsername(std::string_view username,
                                                                       std::string_view password) {
    std::string credentials = std::string(username) + ":" + std::string(password);
    setValueForHTTPHeaderField("Basic " + ns::Data::withBytes(credentials)->base64EncodedString(), "Authorization");
}

void SDPHTTPRequestSerializer::clearAuthorizationHeader() {
    mutableHTTPRequestHeaders_->removeObjectForKey("Authorization");
}

// ---- Query string ----

void SDPHTTPRequestSerializer::setQueryStringSerializationWithStyle(uint64_t style) {
    queryStringSerializationStyle_ = style;
    queryStringSerialization_ = nullptr;
}

void SDPHTTPRequestSerializer::setQueryStringSerializationWithBlock(QueryStringSerializationBlock block) {
    queryStringSerialization_ = std::move(block);
}

// ---- Building requests ----

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestWithMethod(std::string_view method,
                                                                           std::string_view URLString,
                                                                           const ns::Id& parameters,
                                                                           ns::Ref<ns::Error>* error) {
    return requestWithMethod(method, ns::URL::make(URLString), parameters, error);
}

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestWithMethod(std::string_view method,
                                                                           const ns::Ref<ns::URL>& URL,
                                                                           const ns::Id& parameters,
                                                                           ns::Ref<ns::Error>* error) {
    // The key paths as set members, made once rather than per request.
    static const std::vector<ns::Ref<ns::String>> keyPathStrings = [] {
        std::vector<ns::Ref<ns::String>> strings;
        for (const std::string& keyPath : SDPHTTPRequestSerializerObservedKeyPaths()) strings.push_back(ns::str(keyPath));
        return strings;
    }();
    auto request = ns::MutableURLRequest::make(URL);
    request->setHTTPMethod(method);
    if (mutableObservedChangedKeyPaths_->count() > 0) {
        const auto& keyPaths = SDPHTTPRequestSerializerObservedKeyPaths();
        for (size_t i = 0; i < keyPaths.size(); ++i) {
            if (mutableObservedChangedKeyPaths_->containsObject(keyPathStrings[i])) {
                ns::setValueForKey(*request, ns::valueForKey(*this, keyPaths[i]), keyPaths[i]);
            }
        }
    }
    auto serialized = requestBySerializingRequest(request, parameters, error);
    if (!serialized) return nullptr;
    return ns::MutableURLRequest::copyOf(*serialized);
}

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestForBody(const ns::Ref<ns::URLRequest>& request,
                                                                       const ns::Id& parameters,
                                                                       ns::Ref<ns::Error>* error,
                                                                       const char* contentType, bool* finished) {
    if (!request) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parameter not satisfying: request");
    *finished = encodesParametersInURI(*request);
    if (*finished) return SDPHTTPRequestSerializer::requestBySerializingRequest(request, parameters, error);
    auto mutableRequest = requestWithDefaultHeaders(*request);
    if (parameters && !mutableRequest->valueForHTTPHeaderField("Content-Type")) {
        mutableRequest->setValueForHTTPHeaderField(contentType, "Content-Type");
    }
    return mutableRequest;
}

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestWithDefaultHeaders(
    const ns::URLRequest& request) const {
    auto mutableRequest = ns::MutableURLRequest::copyOf(request);
    for (const ns::Id& field : *mutableHTTPRequestHeaders_) {
        const std::string name = ns::textOf(field);
        if (!mutableRequest->valueForHTTPHeaderField(name)) {
            mutableRequest->setValueForHTTPHeaderField(ns::textOf(mutableHTTPRequestHeaders_->objectForKey(field)),
                                                       name);
        }
    }
    return mutableRequest;
}

bool SDPHTTPRequestSerializer::encodesParametersInURI(const ns::URLRequest& request) const {
    if (!HTTPMethodsEncodingParametersInURI_) return false;
    return HTTPMethodsEncodingParametersInURI_->containsObject(request.HTTPMethod()->uppercaseString());
}

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestBySerializingRequest(
    const ns::Ref<ns::URLRequest>& request, const ns::Id& parameters, ns::Ref<ns::Error>* error) {
    if (!request) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parameter not satisfying: request");
    auto mutableRequest = requestWithDefaultHeaders(*request);

    ns::Ref<ns::String> query;
    if (parameters) {
        if (queryStringSerialization_) {
            ns::Ref<ns::Error> serializationError;
            query = queryStringSerialization_(request, parameters, &serializationError);
            if (serializationError) {
                if (error) *error = serializationError;
                return nullptr;
            }
        } else if (queryStringSerializationStyle_ == SDPHTTPRequestQueryStringDefaultStyle) {
            query = SDPQueryStringFromParameters(parameters);
        }
    }

    if (encodesParametersInURI(*request)) {
        if (query && mutableRequest->URL()) {
            const auto& url = mutableRequest->URL();
            const char* separator = url->query() ? "&" : "?";
            mutableRequest->setURL(ns::URL::make(url->absoluteString()->utf8() + separator + query->utf8()));
        }
    } else {
        if (!query) query = ns::str("");
        if (!mutableRequest->valueForHTTPHeaderField("Content-Type")) {
            mutableRequest->setValueForHTTPHeaderField("application/x-www-form-urlencoded", "Content-Type");
        }
        mutableRequest->setHTTPBody(query->dataUsingEncoding(stringEncoding_));
    }
    return mutableRequest;
}

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::multipartFormRequestWithMethod(
    std::string_view method, std::string_view URLString, const ns::Id& parameters, const ConstructingBodyBlock& block,
    ns::Ref<ns::Error>* error) {
    auto request = requestWithMethod(method, URLString, nullptr, error);
    if (!request) return nullptr;
    auto formData = SDPStreamingMultipartFormData::make(request, ns::StringEncoding::UTF8);
    if (parameters) {
        for (const auto& pair : SDPQueryStringPairsFromKeyAndValue(nullptr, parameters)) {
            ns::Ref<ns::Data> data;
            if (auto bytes = ns::cast<ns::Data>(pair->value())) {
                data = bytes;
            } else if (ns::cast<ns::Null>(pair->value())) {
                data = ns::Data::make();
            } else {
                data = ns::String::make(ns::textOf(pair->value()))->dataUsingEncoding(stringEncoding_);
            }
            if (data) formData->appendPartWithFormData(data, ns::textOf(pair->field()));
        }
    }
    if (block) block(*formData);
    return formData->requestByFinalizingMultipartFormData();
}

// ---- Archiving and copying ----

void SDPHTTPRequestSerializer::encodeWithCoder(ns::KeyedArchiver& coder) const {
    coder.encodeObject(mutableHTTPRequestHeaders_, "mutableHTTPRequestHeaders");
    coder.encodeInt64(int64_t(queryStringSerializationStyle_), "queryStringSerializationStyle");
}

bool SDPHTTPRequestSerializer::initWithCoder(ns::KeyedUnarchiver& coder) {
    if (auto headers = coder.decodeObjectOfClass<ns::Dictionary>("mutableHTTPRequestHeaders")) {
        mutableHTTPRequestHeaders_ = ns::cast<ns::MutableDictionary>(headers->mutableCopy());
    }
    if (auto style = ns::cast<ns::Number>(coder.decodeObjectForKey("queryStringSerializationStyle"))) {
        queryStringSerializationStyle_ = style->unsignedLongLongValue();
    }
    return true;
}

ns::Id SDPHTTPRequestSerializer::copy() const {
    auto serializer = ns::cast<SDPHTTPRequestSerializer>(classObject()->create());
    if (!serializer) serializer = std::make_shared<SDPHTTPRequestSerializer>();
    serializer->mutableHTTPRequestHeaders_ = ns::cast<ns::MutableDictionary>(mutableHTTPRequestHeaders_->mutableCopy());
    serializer->queryStringSerializationStyle_ = queryStringSerializationStyle_;
    serializer->queryStringSerialization_ = queryStringSerialization_;
    return serializer;
}
