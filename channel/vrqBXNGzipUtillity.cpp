#include "channel/vrqBXNGzipUtillity.h"

#include <zlib.h>

#include <vector>

#include "platform/foundation/Log.h"

namespace {

constexpr const char* kGzipMethod = "+[vrqBXNGzipUtillity gzipData:]";
// A reply larger than this is refused rather than grown into.
constexpr size_t kMaxInflated = 64u << 20;

}  // namespace

const char* vrqBXNGzipUtillity::messageForCode(int code) {
    switch (code) {
        case Z_ERRNO: return "Error occured while reading file.";
        case Z_STREAM_ERROR: return "The stream state was inconsistent (e.g., next_in or next_out was NULL).";
        case Z_DATA_ERROR: return "The deflate data was invalid or incomplete.";
        case Z_MEM_ERROR: return "Memory could not be allocated for processing.";
        case Z_BUF_ERROR: return "Ran out of output buffer for writing compressed bytes.";
        case Z_VERSION_ERROR: return "The version of zlib.h and the version of the library linked do not match.";
        default: return "Unknown error code.";
    }
}

ns::Ref<ns::Data> vrqBXNGzipUtillity::gzipData(const ns::Data* data) {
    if (!data || data->length() == 0) {
        ns::log("%s: Error: Can't compress an empty or nil NSData object", kGzipMethod);
        return nullptr;
    }
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(data->bytes());
    stream.avail_in = static_cast<uInt>(data->length());
    int status = deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    if (status != Z_OK) {
        const char* message = status == Z_STREAM_ERROR ? "Invalid parameter passed in to function."
                              : status == Z_MEM_ERROR  ? "Insufficient memory."
                              : status == Z_VERSION_ERROR ? messageForCode(status)
                                                          : "Unknown error code.";
        ns::log("%s:deflateInit2() Error: \"%@\" Message: \"%s\"", kGzipMethod, message, stream.msg ? stream.msg : "");
        return nullptr;
    }
    // deflateBound holds any input whole, so one finishing call suffices;
    // the loop stays for a stream that asks for more calls.
    std::vector<uint8_t> out(deflateBound(&stream, stream.avail_in));
    do {
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = deflate(&stream, Z_FINISH);
    } while (status == Z_OK);
    if (status != Z_STREAM_END) {
        ns::log("%s:zlib error while attempting compression: \"%@\" Message: \"%s\"", kGzipMethod,
                messageForCode(status), stream.msg ? stream.msg : "");
        deflateEnd(&stream);
        return nullptr;
    }
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return ns::Data::make(std::move(out));
}

ns::Ref<ns::Data> vrqBXNGzipUtillity::uncompressZippedData(const ns::Ref<ns::Data>& data) {
    if (!data || data->length() == 0) return data;
    const size_t length = data->length();
    const size_t half = length / 2;
    std::vector<uint8_t> out(length + half);
    z_stream stream{};
    stream.next_in = const_cast<Bytef*>(data->bytes());
    stream.avail_in = static_cast<uInt>(length);
    if (inflateInit2(&stream, 47) != Z_OK) return nullptr;
    int status;
    do {
        if (stream.total_out >= out.size()) {
            if (out.size() + half > kMaxInflated) {
                inflateEnd(&stream);
                return nullptr;
            }
            out.resize(out.size() + half);
        }
        stream.next_out = out.data() + stream.total_out;
        stream.avail_out = static_cast<uInt>(out.size() - stream.total_out);
        status = inflate(&stream, Z_SYNC_FLUSH);
    } while (status == Z_OK);
    if (status != Z_STREAM_END) {
        inflateEnd(&stream);
        return nullptr;
    }
    if (inflateEnd(&stream) != Z_OK) return nullptr;
    out.resize(stream.total_out);
    return ns::Data::make(std::move(out));
}
