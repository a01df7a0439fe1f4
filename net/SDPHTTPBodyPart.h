#pragma once
// One part of a multipart body: its boundary line, header block and content,
// delivered phase by phase into whatever buffer space a read offers.

#include <cstdint>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/InputStream.h"
#include "platform/foundation/String.h"
#include "platform/runtime/Class.h"
#include "platform/runtime/Object.h"

class SDPHTTPBodyPart : public ns::Object {
    RT_DECLARE_CLASS(SDPHTTPBodyPart)
public:
    enum Phase : int32_t {
        PhaseNone = 0,
        PhaseEncapsulationBoundary = 1,
        PhaseHeader = 2,
        PhaseBody = 3,
        PhaseFinalBoundary = 4,
    };

    SDPHTTPBodyPart();
    ~SDPHTTPBodyPart() override;

    ns::StringEncoding stringEncoding = ns::StringEncoding::UTF8;
    // Header name to value; written in the dictionary's order.
    ns::Ref<ns::Dictionary> headers;
    ns::Ref<ns::String> boundary;
    // Data, a file URL or an input stream.
    ns::Id body;
    uint64_t bodyContentLength = 0;
    bool hasInitialBoundary = false;
    bool hasFinalBoundary = false;

    int32_t phase() const { return phase_; }
    uint64_t phaseReadOffset() const { return phaseReadOffset_; }

    // The content's stream, made on first use; a body of another kind reads
    // as empty.
    const ns::Ref<ns::InputStream>& inputStream();
    ns::Ref<ns::String> stringForHeaders() const;
    // Boundary line + header block + content + closing line when last.
    uint64_t contentLength() const;
    bool hasBytesAvailable();

    // Bytes written into `buffer` (at most `length`), moving through the
    // phases in the same call; -1 when the content stream fails.
    int64_t read(uint8_t* buffer, uint64_t length);
    // The next phase; always true. Runs on the reading thread.
    bool transitionToNextPhase();

    // A fresh part over the same content (an input stream is shared).
    ns::Id copy() const override;

private:
    int64_t readData(const std::string& data, uint8_t* buffer, uint64_t length);
    std::string encapsulationBoundaryText() const;
    std::string finalBoundaryText() const;
    std::string encoded(const std::string& text) const;

    int32_t phase_ = PhaseNone;
    uint64_t phaseReadOffset_ = 0;
    ns::Ref<ns::InputStream> inputStream_;
};
