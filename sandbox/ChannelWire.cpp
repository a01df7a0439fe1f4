#include "sandbox/ChannelWire.h"

#include <zlib.h>

#include <vector>

#include "platform/foundation/Data.h"
#include "platform/foundation/Dictionary.h"
#include "platform/foundation/String.h"
#include "sandbox/Json.h"

namespace sandbox::channel_wire {

const char16_t kKeyTable[65] = u"QwErTy7UiOp3AsDfG5hJkL9zXcVb1NmqWeRtY2uIoP4aSdFgH6jKl8ZxCvB0nM+/";

namespace {
// Requests are small; anything that inflates beyond this is refused.
constexpr size_t kMaxRequest = 4u << 20;
}  // namespace

std::optional<std::string> gunzip(std::string_view bytes) {
    z_stream stream{};
    if (inflateInit2(&stream, 15 + 32) != Z_OK) return std::nullopt;
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    std::string out;
    char buffer[16384];
    int status = Z_OK;
    while (status == Z_OK) {
        stream.next_out = reinterpret_cast<Bytef*>(buffer);
        stream.avail_out = sizeof buffer;
        status = inflate(&stream, Z_NO_FLUSH);
        out.append(buffer, sizeof buffer - stream.avail_out);
        if (out.size() > kMaxRequest) status = Z_MEM_ERROR;
        if (status == Z_BUF_ERROR && stream.avail_in == 0) break;  // cut short
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return out;
}

std::string gzip(std::string_view bytes) {
    z_stream stream{};
    deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, bytes.size()), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
    stream.avail_in = static_cast<uInt>(bytes.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

ns::Id decodeRequest(std::string_view body) {
    auto framed = gunzip(body);
    if (!framed || framed->size() < 2 || framed->front() != 'x' || framed->back() != 'y') return nullptr;
    std::string base64;
    size_t index = 0;
    std::string_view numbers = std::string_view(*framed).substr(1, framed->size() - 2);
    while (!numbers.empty()) {
        size_t end = numbers.find('_');
        std::string_view piece = numbers.substr(0, end);
        long value = 0;
        if (piece.empty() || piece.size() > 6) return nullptr;
        for (char c : piece) {
            if (c < '0' || c > '9') return nullptr;
            value = value * 10 + (c - '0');
        }
        long unit = value - kKeyTable[index++ % 64];
        if (unit < 0 || unit > 127) return nullptr;  // base64 text is ASCII
        if (unit != '\r' && unit != '\n') base64 += static_cast<char>(unit);
        if (end == std::string_view::npos) break;
        numbers.remove_prefix(end + 1);
    }
    auto json = ns::Data::withBase64EncodedString(base64);
    if (!json) return nullptr;
    try {
        ns::Id value = jsonValue(json->view());
        return ns::cast<ns::Dictionary>(value) ? value : nullptr;
    } catch (const std::exception&) {
        return nullptr;
    }
}

std::string encodeReply(std::string_view json) {
    std::string base64 = ns::Data::withBytes(json)->base64EncodedString();
    std::string framed = "x";
    for (size_t i = 0; i < base64.size(); ++i) {
        if (i) framed += '_';
        framed += std::to_string(static_cast<int>(base64[i]) + kKeyTable[i % 64]);
    }
    framed += 'y';
    return gzip(framed);
}

}  // namespace sandbox::channel_wire
