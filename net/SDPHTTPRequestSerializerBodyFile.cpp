// Writing a request's body stream to a file, for uploads sent from a file.

#include "net/SDPHTTPRequestSerializer.h"

#include "platform/dispatch/Queue.h"
#include "platform/foundation/FileManager.h"
#include "platform/foundation/OutputStream.h"
#include "platform/foundation/URLError.h"
#include "platform/runtime/Exception.h"

namespace {

constexpr uint64_t CopyBufferSize = 1024;

// The stream's own error, else one saying which side gave up without one.
ns::Ref<ns::Error> streamFailure(const ns::Stream& stream, int64_t code, const std::string& path) {
    if (auto error = stream.streamError()) return error;
    return ns::Error::make(ns::CocoaErrorDomain, code, ns::Dictionary::make({{ns::FilePathErrorKey, ns::str(path)}}));
}

ns::Ref<ns::Error> copyStream(ns::InputStream& input, ns::OutputStream& output, const std::string& path) {
    input.open();
    output.open();
    if (input.streamStatus() == ns::StreamStatusError) return streamFailure(input, ns::FileReadUnknownError, path);
    if (output.streamStatus() == ns::StreamStatusError) return streamFailure(output, ns::FileWriteUnknownError, path);
    uint8_t buffer[CopyBufferSize];
    while (input.hasBytesAvailable() && output.hasSpaceAvailable()) {
        const int64_t bytesRead = input.read(buffer, sizeof buffer);
        if (bytesRead < 0 || input.streamError()) return streamFailure(input, ns::FileReadUnknownError, path);
        if (bytesRead == 0) break;
        // A write may take only part of what was read: the rest must follow.
        int64_t written = 0;
        while (written < bytesRead) {
            const int64_t n = output.write(buffer + written, uint64_t(bytesRead - written));
            if (n < 0 || output.streamError()) return streamFailure(output, ns::FileWriteUnknownError, path);
            if (n == 0) return streamFailure(output, ns::FileWriteOutOfSpaceError, path);
            written += n;
        }
    }
    return nullptr;
}

}  // namespace

ns::Ref<ns::MutableURLRequest> SDPHTTPRequestSerializer::requestWithMultipartFormRequest(
    const ns::Ref<ns::URLRequest>& request, const ns::Ref<ns::URL>& fileURL, WriteCompletionHandler handler) {
    if (!request) ns::Exception::raise(ns::InvalidArgumentException, "Invalid parameter not satisfying: request");
    ns::Ref<ns::InputStream> input = request->HTTPBodyStream();
    ns::Ref<ns::OutputStream> output = fileURL ? ns::OutputStream::withURL(*fileURL, false) : nullptr;
    const std::string path = fileURL && fileURL->path() ? fileURL->path()->utf8() : std::string();

    dispatch::globalQueue(dispatch::QueuePriority::Default)->async([input, output, path, handler] {
        ns::Ref<ns::Error> error;
        if (!input) {
            error = ns::makeURLError(ns::URLErrorRequestBodyStreamExhausted, nullptr);
        } else if (!output) {
            error = ns::makeURLError(ns::URLErrorCannotCreateFile, nullptr);
        } else {
            error = copyStream(*input, *output, path);
        }
        if (input) input->close();
        if (output) output->close();
        if (handler) dispatch::mainQueue()->async([handler, error] { handler(error); });
    });

    auto mutableRequest = ns::MutableURLRequest::copyOf(*request);
    mutableRequest->setHTTPBodyStream(nullptr);
    return mutableRequest;
}
