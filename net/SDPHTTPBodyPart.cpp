#include "net/SDPHTTPBodyPart.h"

#include <algorithm>
#include <cstring>

#include "platform/foundation/Text.h"
#include "platform/foundation/URL.h"

RT_DEFINE_CLASS(SDPHTTPBodyPart, ns::Object, "SDPHTTPBodyPart")

namespace {

constexpr const char* CRLF = "\r\n";

}  // namespace

SDPHTTPBodyPart::SDPHTTPBodyPart() { transitionToNextPhase(); }

SDPHTTPBodyPart::~SDPHTTPBodyPart() {
    if (inputStream_) inputStream_->close();
}

const ns::Ref<ns::InputStream>& SDPHTTPBodyPart::inputStream() {
    if (inputStream_) return inputStream_;
    if (auto data = ns::cast<ns::Data>(body)) {
        inputStream_ = ns::InputStream::withData(data);
    } else if (auto url = ns::cast<ns::URL>(body)) {
        inputStream_ = ns::InputStream::withURL(*url);
    } else if (auto stream = ns::cast<ns::InputStream>(body)) {
        inputStream_ = stream;
    }
    if (!inputStream_) inputStream_ = ns::InputStream::withData(ns::Data::make());
    return inputStream_;
}

std::string SDPHTTPBodyPart::encoded(const std::string& text) const {
    auto data = ns::String::make(text)->dataUsingEncoding(stringEncoding, true);
    return data ? std::string(data->view()) : std::string();
}

std::string SDPHTTPBodyPart::encapsulationBoundaryText() const {
    const std::string b = ns::textOf(boundary);
    return encoded(hasInitialBoundary ? "--" + b + CRLF : CRLF + ("--" + b) + CRLF);
}

std::string SDPHTTPBodyPart::finalBoundaryText() const {
    return hasFinalBoundary ? encoded(CRLF + ("--" + ns::textOf(boundary)) + "--" + CRLF) : std::string();
}

ns::Ref<ns::String> SDPHTTPBodyPart::stringForHeaders() const {
    std::string text;
    if (headers) {
        for (const ns::Id& field : *headers) {
            text += ns::textOf(field) + ": " + ns::textOf(headers->objectForKey(field)) + CRLF;
        }
    }
    text += CRLF;
    return ns::String::make(std::move(text));
}

uint64_t SDPHTTPBodyPart::contentLength() const {
    return encapsulationBoundaryText().size() + encoded(stringForHeaders()->utf8()).size() + bodyContentLength +
           finalBoundaryText().size();
}

bool SDPHTTPBodyPart::hasBytesAvailable() {
    if (phase_ == PhaseFinalBoundary) return true;
    const ns::StreamStatus status = inputStream()->streamStatus();
    // A failed content stream still counts, so the next read reports the failure
    // instead of the body quietly skipping the rest of the part.
    return status != ns::StreamStatusAtEnd && status != ns::StreamStatusClosed;
}

int64_t SDPHTTPBodyPart::read(uint8_t* buffer, uint64_t length) {
    uint64_t total = 0;
    if (phase_ == PhaseEncapsulationBoundary) {
        total += uint64_t(readData(encapsulationBoundaryText(), buffer, length));
    }
    if (phase_ == PhaseHeader) {
        total += uint64_t(readData(encoded(stringForHeaders()->utf8()), buffer + total, length - total));
    }
    if (phase_ == PhaseBody && total < length) {
        ns::InputStream& stream = *inputStream();
        const int64_t n = stream.read(buffer + total, length - total);
        if (n < 0) return -1;
        total += uint64_t(n);
        const ns::StreamStatus status = stream.streamStatus();
        // A read that finds nothing with room to spare is the end too: a stream
        // that never reports its end must not spin the reader.
        if (status >= ns::StreamStatusAtEnd || n == 0) transitionToNextPhase();
    }
    if (phase_ == PhaseFinalBoundary) {
        total += uint64_t(readData(finalBoundaryText(), buffer + total, length - total));
    }
    return int64_t(total);
}

int64_t SDPHTTPBodyPart::readData(const std::string& data, uint8_t* buffer, uint64_t length) {
    const uint64_t remaining = data.size() > phaseReadOffset_ ? data.size() - phaseReadOffset_ : 0;
    const uint64_t n = std::min(remaining, length);
    if (n) std::memcpy(buffer, data.data() + phaseReadOffset_, n);
    phaseReadOffset_ += n;
    if (phaseReadOffset_ >= data.size()) transitionToNextPhase();
    return int64_t(n);
}

bool SDPHTTPBodyPart::transitionToNextPhase() {
    // Runs on whichever thread reads the body: the content streams are read
    // synchronously, so no run loop (and no other thread) is involved.
    switch (phase_) {
    case PhaseEncapsulationBoundary:
        phase_ = PhaseHeader;
        break;
    case PhaseHeader:
        inputStream()->open();
        phase_ = PhaseBody;
        break;
    case PhaseBody:
        inputStream()->close();
        phase_ = PhaseFinalBoundary;
        break;
    case PhaseFinalBoundary:
    default:
        phase_ = PhaseEncapsulationBoundary;
        break;
    }
    phaseReadOffset_ = 0;
    return true;
}

ns::Id SDPHTTPBodyPart::copy() const {
    auto part = std::make_shared<SDPHTTPBodyPart>();
    part->stringEncoding = stringEncoding;
    part->headers = headers;
    part->bodyContentLength = bodyContentLength;
    part->body = body;
    part->boundary = boundary;
    return part;
}
