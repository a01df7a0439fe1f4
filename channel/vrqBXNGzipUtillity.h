#pragma once
// Gzip compression and decompression of whole buffers for the channel's
// wire format, over zlib.

#include "platform/foundation/Data.h"

class vrqBXNGzipUtillity {
public:
    vrqBXNGzipUtillity() = delete;

    // A gzip stream (default level, 32 KiB window); nil for empty input or a
    // zlib failure, which is logged.
    static ns::Ref<ns::Data> gzipData(const ns::Data* data);
    // The bytes of a zlib or gzip stream (detected from its header); empty
    // input comes back unchanged; nil when the stream is damaged or
    // incomplete. Logs nothing.
    static ns::Ref<ns::Data> uncompressZippedData(const ns::Ref<ns::Data>& data);

    // The log text of a zlib status code.
    static const char* messageForCode(int code);
};
