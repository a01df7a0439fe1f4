#include "net/SDPMultipartBodyStream.h"

#include <algorithm>
#include <cerrno>

#include "platform/dispatch/Sleep.h"

RT_DEFINE_CLASS(SDPMultipartBodyStream, ns::InputStream, "SDPMultipartBodyStream")

void SDPMultipartBodyStream::setInitialAndFinalBoundaries() {
    if (parts_.empty()) return;
    for (const auto& part : parts_) {
        part->hasInitialBoundary = false;
        part->hasFinalBoundary = false;
    }
    parts_.front()->hasInitialBoundary = true;
    parts_.back()->hasFinalBoundary = true;
}

void SDPMultipartBodyStream::appendHTTPBodyPart(const ns::Ref<SDPHTTPBodyPart>& part) { parts_.push_back(part); }

uint64_t SDPMultipartBodyStream::contentLength() const {
    uint64_t length = 0;
    for (const auto& part : parts_) length += part->contentLength();
    return length;
}

void SDPMultipartBodyStream::open() {
    ns::StreamStatus expected = ns::StreamStatusNotOpen;
    if (!status_.compare_exchange_strong(expected, ns::StreamStatusOpen)) return;
    setInitialAndFinalBoundaries();
    nextPart_ = 0;
    currentPart_ = nullptr;
}

void SDPMultipartBodyStream::close() { status_.store(ns::StreamStatusClosed); }

ns::Ref<ns::Error> SDPMultipartBodyStream::streamError() const {
    std::lock_guard<std::mutex> hold(errorLock_);
    return streamError_;
}

int64_t SDPMultipartBodyStream::read(uint8_t* buffer, uint64_t maxLength) {
    const ns::StreamStatus status = streamStatus();
    if (status == ns::StreamStatusClosed) return 0;
    if (status != ns::StreamStatusOpen) return -1;
    const uint64_t limit = std::min(maxLength, numberOfBytesInPacket());
    uint64_t total = 0;
    while (total < limit) {
        if (!currentPart_ || !currentPart_->hasBytesAvailable()) {
            if (nextPart_ >= parts_.size()) break;
            currentPart_ = parts_[nextPart_++];
            continue;
        }
        const int64_t n = currentPart_->read(buffer + total, limit - total);
        if (n < 0) {
            // Fail the whole read: handing back what came before would end the
            // body early and make a truncated upload look complete.
            ns::Ref<ns::Error> error = currentPart_->inputStream()->streamError();
            if (!error) error = ns::Error::make(ns::POSIXErrorDomain, EIO);
            {
                std::lock_guard<std::mutex> hold(errorLock_);
                streamError_ = error;
            }
            status_.store(ns::StreamStatusError);
            return -1;
        }
        total += uint64_t(n);
        if (const double pause = delay(); pause > 0) dispatch::sleepFor(pause);
    }
    return int64_t(total);
}

bool SDPMultipartBodyStream::getBuffer(uint8_t**, uint64_t*) { return false; }

ns::Id SDPMultipartBodyStream::propertyForKey(std::string_view) const { return nullptr; }

bool SDPMultipartBodyStream::setPropertyForKey(const ns::Id&, std::string_view) { return false; }

void SDPMultipartBodyStream::scheduleInRunLoop(dispatch::RunLoop&, dispatch::RunLoopMode) {}

void SDPMultipartBodyStream::removeFromRunLoop(dispatch::RunLoop&, dispatch::RunLoopMode) {}

ns::Id SDPMultipartBodyStream::copy() const {
    auto stream = make(stringEncoding_);
    for (const auto& part : parts_) stream->appendHTTPBodyPart(ns::cast<SDPHTTPBodyPart>(part->copy()));
    stream->setInitialAndFinalBoundaries();
    return stream;
}
