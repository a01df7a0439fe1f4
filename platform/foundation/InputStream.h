#pragma once
// A stream to read bytes from. Subclasses implement read and
// hasBytesAvailable (and whatever else of Stream they need); the platform's
// own streams read data in memory or a file.

#include <cstdint>
#include <string>

#include "platform/foundation/Stream.h"

namespace ns {

class Data;
class URL;

class InputStream : public Stream {
    RT_DECLARE_CLASS(InputStream)
public:
    // Reads the bytes of `data` as they are when the stream is made.
    static Ref<InputStream> withData(const Ref<Data>& data);
    // The file is opened by open(); a missing or unreadable file fails the
    // stream there, with the POSIX error.
    static Ref<InputStream> withFileAtPath(std::string path);
    // File URLs only; nil for any other URL.
    static Ref<InputStream> withURL(const URL& url);

    // Up to `maxLength` bytes into `buffer`: the count read, 0 at the end,
    // -1 when the stream failed (see streamError) or is not open.
    virtual int64_t read(uint8_t* buffer, uint64_t maxLength) = 0;
    // May answer true when only a read can tell.
    virtual bool hasBytesAvailable() const = 0;
    // Direct access to the stream's own buffer; streams without one answer
    // false, as the platform's do.
    virtual bool getBuffer(uint8_t** buffer, uint64_t* length);

protected:
    InputStream() = default;
    StreamEvent readyEvent() const override { return StreamEventHasBytesAvailable; }
};

}  // namespace ns
