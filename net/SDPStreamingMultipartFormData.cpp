#include "net/SDPStreamingMultipartFormData.h"

#include <random>

#include "net/SDPURLRequestSerialization.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/MutableDictionary.h"
#include "platform/foundation/URLError.h"
#include "platform/foundation/URLResponse.h"
#include "platform/runtime/Exception.h"

RT_DEFINE_CLASS(SDPStreamingMultipartFormData, ns::Object, "SDPStreamingMultipartFormData")

namespace {

ns::Ref<ns::Error> fileURLError(std::string_view reason) {
    return ns::Error::make(
        SDPURLRequestSerializationErrorDomain, ns::URLErrorBadURL,
        ns::Dictionary::make({{ns::LocalizedFailureReasonErrorKey, SDPNetworkingLocalizedString(reason)}}));
}

ns::Ref<ns::MutableDictionary> fileHeaders(std::string_view name, std::string_view fileName,
                                           std::string_view mimeType) {
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::String::withFormat("form-data; name=\"%@\"; filename=\"%@\"", name, fileName),
                             "Content-Disposition");
    headers->setObjectForKey(ns::str(std::string(mimeType)), "Content-Type");
    return headers;
}

}  // namespace

std::string SDPCreateMultipartFormBoundary() {
    thread_local std::mt19937 generator{std::random_device{}()};
    std::uniform_int_distribution<uint32_t> word;
    return ns::format("Boundary+%08X%08X", word(generator), word(generator));
}

SDPStreamingMultipartFormData::SDPStreamingMultipartFormData(const ns::Ref<ns::URLRequest>& request,
                                                             ns::StringEncoding encoding, std::string boundary)
    : request_(request ? ns::MutableURLRequest::copyOf(*request) : std::make_shared<ns::MutableURLRequest>()),
      stringEncoding_(encoding),
      boundary_(std::move(boundary)),
      bodyStream_(SDPMultipartBodyStream::make(encoding)) {}

bool SDPStreamingMultipartFormData::appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name,
                                                          ns::Ref<ns::Error>* error) {
    if (!fileURL) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parameter not satisfying: fileURL");
    auto last = fileURL->lastPathComponent();
    auto extension = fileURL->pathExtension();
    const std::string mimeType = ns::URLResponse::mimeTypeForPathExtension(extension ? extension->utf8() : "");
    return appendPartWithFileURL(fileURL, name, last ? last->utf8() : std::string(), mimeType, error);
}

bool SDPStreamingMultipartFormData::appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name,
                                                          std::string_view fileName, std::string_view mimeType,
                                                          ns::Ref<ns::Error>* error) {
    if (!fileURL) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parameter not satisfying: fileURL");
    if (!fileURL->isFileURL()) {
        if (error) *error = fileURLError("Expected URL to be a file URL");
        return false;
    }
    const std::string path = fileURL->path() ? fileURL->path()->utf8() : std::string();
    auto files = ns::FileManager::defaultManager();
    if (!files->fileExistsAtPath(path)) {
        if (error) *error = fileURLError("File URL not reachable.");
        return false;
    }
    ns::Ref<ns::Error> attributesError;
    auto attributes = files->attributesOfItemAtPath(path, &attributesError);
    if (!attributes) {
        if (error) *error = attributesError;
        return false;
    }
    appendPart(fileHeaders(name, fileName, mimeType), fileURL, ns::fileSize(*attributes));
    return true;
}

void SDPStreamingMultipartFormData::appendPartWithInputStream(const ns::Ref<ns::InputStream>& inputStream,
                                                              std::string_view name, std::string_view fileName,
                                                              int64_t length, std::string_view mimeType) {
    appendPart(fileHeaders(name, fileName, mimeType), inputStream, uint64_t(length));
}

void SDPStreamingMultipartFormData::appendPartWithFileData(const ns::Ref<ns::Data>& data, std::string_view name,
                                                           std::string_view fileName, std::string_view mimeType) {
    appendPartWithHeaders(fileHeaders(name, fileName, mimeType), data);
}

void SDPStreamingMultipartFormData::appendPartWithFormData(const ns::Ref<ns::Data>& data, std::string_view name) {
    auto headers = ns::MutableDictionary::make();
    headers->setObjectForKey(ns::String::withFormat("form-data; name=\"%@\"", name), "Content-Disposition");
    appendPartWithHeaders(headers, data);
}

void SDPStreamingMultipartFormData::appendPartWithHeaders(const ns::Ref<ns::Dictionary>& headers,
                                                          const ns::Ref<ns::Data>& body) {
    appendPart(headers, body, body ? body->length() : 0);
}

void SDPStreamingMultipartFormData::appendPart(ns::Ref<ns::Dictionary> headers, ns::Id body,
                                               uint64_t bodyContentLength) {
    auto part = std::make_shared<SDPHTTPBodyPart>();
    part->stringEncoding = stringEncoding_;
    part->headers = std::move(headers);
    part->boundary = ns::str(boundary_);
    part->body = std::move(body);
    part->bodyContentLength = bodyContentLength;
    bodyStream_->appendHTTPBodyPart(part);
}

void SDPStreamingMultipartFormData::throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) {
    bodyStream_->setNumberOfBytesInPacket(numberOfBytes);
    bodyStream_->setDelay(delay);
}

ns::Ref<ns::MutableURLRequest> SDPStreamingMultipartFormData::requestByFinalizingMultipartFormData() {
    if (bodyStream_->isEmpty()) return request_;
    bodyStream_->setInitialAndFinalBoundaries();
    request_->setHTTPBodyStream(bodyStream_);
    request_->setValueForHTTPHeaderField(ns::format("multipart/form-data; boundary=%@", boundary_), "Content-Type");
    request_->setValueForHTTPHeaderField(ns::format("%llu", bodyStream_->contentLength()), "Content-Length");
    return request_;
}
