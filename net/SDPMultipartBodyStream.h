#pragma once
// The input stream a multipart request sends: it reads its parts in order,
// never holding more than the caller's buffer. A part whose content stream
// fails fails the whole read (-1, the error in streamError), so the upload
// fails instead of sending a truncated body that looks complete.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <vector>

#include "net/SDPHTTPBodyPart.h"
#include "platform/foundation/Error.h"
#include "platform/foundation/InputStream.h"
#include "platform/runtime/Class.h"

class SDPMultipartBodyStream : public ns::InputStream {
    RT_DECLARE_CLASS(SDPMultipartBodyStream)
public:
    SDPMultipartBodyStream() = default;
    explicit SDPMultipartBodyStream(ns::StringEncoding encoding) : stringEncoding_(encoding) {}
    static ns::Ref<SDPMultipartBodyStream> make(ns::StringEncoding encoding) {
        return std::make_shared<SDPMultipartBodyStream>(encoding);
    }

    ns::StringEncoding stringEncoding() const { return stringEncoding_; }
    // Most bytes one read returns; unlimited (2^63 - 1) by default.
    uint64_t numberOfBytesInPacket() const { return numberOfBytesInPacket_; }
    void setNumberOfBytesInPacket(uint64_t bytes) { numberOfBytesInPacket_ = bytes; }
    // Seconds slept after each chunk read from a part.
    double delay() const { return delay_; }
    void setDelay(double seconds) { delay_ = seconds; }

    // First part opens the body, last part closes it (one part does both).
    void setInitialAndFinalBoundaries();
    void appendHTTPBodyPart(const ns::Ref<SDPHTTPBodyPart>& part);
    const std::vector<ns::Ref<SDPHTTPBodyPart>>& HTTPBodyParts() const { return parts_; }
    bool isEmpty() const { return parts_.empty(); }
    uint64_t contentLength() const;

    void open() override;
    void close() override;
    ns::StreamStatus streamStatus() const override { return status_.load(); }
    ns::Ref<ns::Error> streamError() const override;
    // 0 at the end of the body or once closed; -1 before open and after a
    // part failed.
    int64_t read(uint8_t* buffer, uint64_t maxLength) override;
    bool hasBytesAvailable() const override { return streamStatus() == ns::StreamStatusOpen; }
    bool getBuffer(uint8_t** buffer, uint64_t* length) override;
    ns::Id propertyForKey(std::string_view key) const override;
    bool setPropertyForKey(const ns::Id& property, std::string_view key) override;
    // Parts are read synchronously by whoever reads the body: no run loop.
    void scheduleInRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) override;
    void removeFromRunLoop(dispatch::RunLoop& runLoop, dispatch::RunLoopMode mode) override;

    // A new stream over copies of the parts, ready to be read from the start.
    ns::Id copy() const override;

private:
    ns::StringEncoding stringEncoding_ = ns::StringEncoding::UTF8;
    std::atomic<uint64_t> numberOfBytesInPacket_{uint64_t(INT64_MAX)};
    std::atomic<double> delay_{0};
    std::atomic<ns::StreamStatus> status_{ns::StreamStatusNotOpen};
    mutable std::mutex errorLock_;
    ns::Ref<ns::Error> streamError_;
    std::vector<ns::Ref<SDPHTTPBodyPart>> parts_;
    size_t nextPart_ = 0;
    ns::Ref<SDPHTTPBodyPart> currentPart_;
};
