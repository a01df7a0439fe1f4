#pragma once
// A stream to write bytes to: memory (the bytes are the
// StreamDataWrittenToMemoryStreamKey property) or a file.

#include <cstdint>
#include <string>

#include "platform/foundation/Stream.h"

namespace ns {

class URL;

class OutputStream : public Stream {
    RT_DECLARE_CLASS(OutputStream)
public:
    static Ref<OutputStream> toMemory();
    // The file is created (or, unless appending, emptied) by open(); failure
    // fails the stream there, with the POSIX error.
    static Ref<OutputStream> toFileAtPath(std::string path, bool append);
    // File URLs only; nil for any other URL.
    static Ref<OutputStream> withURL(const URL& url, bool append);

    // Writes up to `maxLength` bytes: the count written, -1 when the stream
    // failed (see streamError) or is not open.
    virtual int64_t write(const uint8_t* buffer, uint64_t maxLength) = 0;
    virtual bool hasSpaceAvailable() const = 0;

protected:
    OutputStream() = default;
    StreamEvent readyEvent() const override { return StreamEventHasSpaceAvailable; }
};

}  // namespace ns
