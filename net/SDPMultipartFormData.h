#pragma once
// What the multipart construction block is handed: appends parts to a
// streamed "multipart/form-data" body.

#include <cstdint>
#include <string_view>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/URL.h"
#include "platform/runtime/Object.h"

class SDPMultipartFormData {
public:
    virtual ~SDPMultipartFormData() = default;

    // File name from the URL, MIME type from its extension
    // ("application/octet-stream" when unknown).
    virtual bool appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name,
                                       ns::Ref<ns::Error>* error) = 0;
    // NO with an error when the URL is not a reachable file whose size can be read.
    virtual bool appendPartWithFileURL(const ns::Ref<ns::URL>& fileURL, std::string_view name,
                                       std::string_view fileName, std::string_view mimeType,
                                       ns::Ref<ns::Error>* error) = 0;
    // The caller vouches for `length`; it becomes part of Content-Length.
    virtual void appendPartWithInputStream(const ns::Ref<ns::InputStream>& inputStream, std::string_view name,
                                           std::string_view fileName, int64_t length, std::string_view mimeType) = 0;
    virtual void appendPartWithFileData(const ns::Ref<ns::Data>& data, std::string_view name, std::string_view fileName,
                                        std::string_view mimeType) = 0;
    virtual void appendPartWithFormData(const ns::Ref<ns::Data>& data, std::string_view name) = 0;
    virtual void appendPartWithHeaders(const ns::Ref<ns::Dictionary>& headers, const ns::Ref<ns::Data>& body) = 0;

    // At most `numberOfBytes` per read of the body, and a pause of `delay`
    // seconds after each chunk read from a part.
    virtual void throttleBandwidthWithPacketSize(uint64_t numberOfBytes, double delay) = 0;
};
