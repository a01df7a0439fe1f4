#pragma once
// Builds a streamed "multipart/form-data" request: parts are appended, then
// finalising sets the body stream, Content-Type and the exact Content-Length.

#include <string>

#include "net/SDPMultipartBodyStream.h"
#include "net/SDPMultipartFormData.h"
#include "platform/foundation/String.h"
#include "platform/foundation/URLRequest.h"
#include "platform/runtime/Class.h"

// "Boundary+" and sixteen upper-case hexadecimal digits of two random words.
std::string SDPCreateMultipartFormBoundary();

class SDPStreamingMultipartFormData : public ns::Object, public SDPMultipartFormData {
    RT_DECLARE_CLASS(SDPStreamingMultipartFormData)
public:
    SDPStreamingMultipartFormData() = default;
    // The request is copied; the boundary is a fresh random one unless given.
    SDPStreamingMultipartFormData(const ns::Ref<ns::URLRequest>& request, ns::StringEncoding encoding,
                                  std::string boundary = SDPCreateMultipartFormBoundary());
    static ns::Ref<SDPStreamingMultipartFormData> make(const ns::Ref<ns::URLRequest>& request,
                                                       ns::StringEncoding encoding) {
        return std::make_shared<SDPStreamingMultipartFormData>(request, encoding);
    }

    const ns::Ref<ns::MutableURLRequest>& request() const { return request_; }
    ns::StringEncoding stringEncoding() const { return stringEncoding_; }
    const std::string& boundary() const { return boundary_; }
    const ns::Ref<SDPMultipartBodyStream>& bodyStream() const { return bodyStream_; }

    bool appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name,
                               ns::Ref<ns::Error>* error) override;
    bool appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name, std::string_view fileName,
                               std::string_view mimeType, ns::Ref<ns::Error>* error) override;
    void appendPartWithInputStream(const ns::Ref<ns::InputStream>& inputStream, std::string_view name,
                                   std::string_view fileName, int64_t length, std::string_view mimeType) override;
    void appendPartWithFileData(const ns::Ref<ns::Data>& data, std::string_view name, std::string_view fileName,
                                std::string_view mimeType) override;
    void appendPartWithFormData(const ns::Ref<ns::Data>& data, std::string_view name) override;
    void appendPartWithHeaders(const ns::Ref<ns::Dictionary>& headers, const ns::Ref<ns::Data>& body) override;
    void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) override;

    // The request with the body stream and multipart headers; unchanged when
    // no part was appended.
    ns::Ref<ns::MutableURLRequest> requestByFinalizingMultipartFormData();

private:
    void appendPart(ns::Ref<ns::Dictionary> headers, ns::Id body, uint64_t bodyContentLength);

    ns::Ref<ns::MutableURLRequest> request_;
    ns::StringEncoding stringEncoding_ = ns::StringEncoding::UTF8;
    std::string boundary_;
    ns::Ref<SDPMultipartBodyStream> bodyStream_;
};
