#include "platform/foundation/URLRequest.h"

#include "platform/foundation/Format.h"

namespace ns {

RT_DEFINE_CLASS(URLRequest, Object, "NSURLRequest",
                rt::property<URLRequest>("URL", &URLRequest::url_, "R,C"),
                rt::property<URLRequest>("cachePolicy", &URLRequest::cachePolicy_, "R"),
                rt::property<URLRequest>("timeoutInterval", &URLRequest::timeoutInterval_, "R"),
                rt::property<URLRequest>("mainDocumentURL", &URLRequest::mainDocumentURL_, "R,C"),
                rt::property<URLRequest>("networkServiceType", &URLRequest::networkServiceType_, "R"),
                rt::property<URLRequest>("allowsCellularAccess", &URLRequest::allowsCellularAccess_, "R"),
                rt::property<URLRequest>("HTTPMethod", &URLRequest::method_, "R,C"),
                rt::property<URLRequest>("HTTPBody", &URLRequest::body_, "R,C"),
                rt::property<URLRequest>("HTTPBodyStream", &URLRequest::bodyStream_, "R,&"),
                rt::property<URLRequest>("HTTPShouldHandleCookies", &URLRequest::shouldHandleCookies_, "R"),
                rt::property<URLRequest>("HTTPShouldUsePipelining", &URLRequest::shouldUsePipelining_, "R"))

RT_DEFINE_CLASS(MutableURLRequest, URLRequest, "NSMutableURLRequest",
                rt::property<URLRequest>("URL", &MutableURLRequest::url_, "C"),
                rt::property<URLRequest>("cachePolicy", &MutableURLRequest::cachePolicy_),
                rt::property<URLRequest>("timeoutInterval", &MutableURLRequest::timeoutInterval_),
                rt::property<URLRequest>("mainDocumentURL", &MutableURLRequest::mainDocumentURL_, "C"),
                rt::property<URLRequest>("networkServiceType", &MutableURLRequest::networkServiceType_),
                rt::property<URLRequest>("allowsCellularAccess", &MutableURLRequest::allowsCellularAccess_),
                rt::property<URLRequest>("HTTPMethod", &MutableURLRequest::method_, "C"),
                rt::property<URLRequest>("HTTPBody", &MutableURLRequest::body_, "C"),
                rt::property<URLRequest>("HTTPBodyStream", &MutableURLRequest::bodyStream_),
                rt::property<URLRequest>("HTTPShouldHandleCookies", &MutableURLRequest::shouldHandleCookies_),
                rt::property<URLRequest>("HTTPShouldUsePipelining", &MutableURLRequest::shouldUsePipelining_))

Ref<URLRequest> URLRequest::make(Ref<ns::URL> url, uint64_t cachePolicy, double timeoutInterval) {
    auto request = std::make_shared<URLRequest>();
    request->url_ = std::move(url);
    request->cachePolicy_ = cachePolicy;
    request->timeoutInterval_ = timeoutInterval;
    return request;
}

Ref<Dictionary> URLRequest::allHTTPHeaderFields() const {
    if (headers_.empty()) return nullptr;
    return headers_.dictionary();
}

Ref<String> URLRequest::valueForHTTPHeaderField(std::string_view field) const {
    const std::string* value = headers_.value(field);
    return value ? String::make(*value) : nullptr;
}

std::string URLRequest::description() const {
    return format("<%@: %p> { URL: %@ }", className(), static_cast<const void*>(this), url_ ? url_->absoluteString() : nullptr);
}

uint64_t URLRequest::hash() const { return url_ ? url_->hash() : 0; }

bool URLRequest::isEqual(const Object* other) const {
    auto request = dynamic_cast<const URLRequest*>(other);
    if (request == this) return true;
    if (!request) return false;
    return equal(url_.get(), request->url_.get()) && method_->isEqualToString(request->method_.get()) &&
           headers_.fields() == request->headers_.fields() && equal(body_.get(), request->body_.get()) &&
           bodyStream_ == request->bodyStream_ && cachePolicy_ == request->cachePolicy_ &&
           timeoutInterval_ == request->timeoutInterval_;
}

void URLRequest::copyFrom(const URLRequest& other) {
    url_ = other.url_;
    cachePolicy_ = other.cachePolicy_;
    timeoutInterval_ = other.timeoutInterval_;
    mainDocumentURL_ = other.mainDocumentURL_;
    networkServiceType_ = other.networkServiceType_;
    allowsCellularAccess_ = other.allowsCellularAccess_;
    method_ = other.method_;
    headers_ = other.headers_;
    body_ = other.body_;
    bodyStream_ = other.bodyStream_;
    shouldHandleCookies_ = other.shouldHandleCookies_;
    shouldUsePipelining_ = other.shouldUsePipelining_;
}

Ref<URLRequest> URLRequest::copyOf(const URLRequest& request) {
    auto copy = std::make_shared<URLRequest>();
    copy->copyFrom(request);
    return copy;
}

Id URLRequest::copy() const { return self(); }

Id URLRequest::mutableCopy() const { return MutableURLRequest::copyOf(*this); }

Ref<MutableURLRequest> MutableURLRequest::make(Ref<ns::URL> url, uint64_t cachePolicy, double timeoutInterval) {
    auto request = std::make_shared<MutableURLRequest>();
    request->url_ = std::move(url);
    request->cachePolicy_ = cachePolicy;
    request->timeoutInterval_ = timeoutInterval;
    return request;
}

Ref<MutableURLRequest> MutableURLRequest::copyOf(const URLRequest& request) {
    auto copy = std::make_shared<MutableURLRequest>();
    copy->copyFrom(request);
    return copy;
}

void MutableURLRequest::setHTTPMethod(std::string_view method) {
    method_ = String::make(method.empty() ? std::string("GET") : std::string(method));
}

void MutableURLRequest::setAllHTTPHeaderFields(const Ref<Dictionary>& fields) {
    headers_ = HTTPHeaderFields::fromDictionary(fields.get());
}

void MutableURLRequest::setValueForHTTPHeaderField(const Ref<String>& value, std::string_view field) {
    if (!value) {
        headers_.remove(field);
    } else {
        headers_.set(field, value->utf8());
    }
}

void MutableURLRequest::setValueForHTTPHeaderField(std::string_view value, std::string_view field) {
    headers_.set(field, std::string(value));
}

void MutableURLRequest::addValueForHTTPHeaderField(std::string_view value, std::string_view field) {
    headers_.add(field, value);
}

void MutableURLRequest::setHTTPBody(Ref<Data> body) {
    body_ = body ? cast<Data>(body->copy()) : nullptr;
    if (body_) bodyStream_ = nullptr;
}

void MutableURLRequest::setHTTPBodyStream(Ref<InputStream> stream) {
    bodyStream_ = std::move(stream);
    if (bodyStream_) body_ = nullptr;
}

Id MutableURLRequest::copy() const { return URLRequest::copyOf(*this); }

}  // namespace ns
