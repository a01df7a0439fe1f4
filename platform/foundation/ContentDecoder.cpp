#include "platform/foundation/ContentDecoder.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <string>
#include <vector>

namespace ns::detail {

namespace {

std::string trimmedLower(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return out;
}

}  // namespace

ContentDecoder::~ContentDecoder() {
    if (inflating_) inflateEnd(&stream_);
}

bool ContentDecoder::start(std::string_view encoding) {
    started_ = true;
    const std::string coding = trimmedLower(encoding);
    if (coding.empty() || coding == "identity") return true;
    if (coding != "gzip" && coding != "x-gzip" && coding != "deflate") return false;
    // Either wrapping, told by its header.
    if (inflateInit2(&stream_, 15 + 32) != Z_OK) return false;
    inflating_ = true;
    return true;
}

bool ContentDecoder::decode(const char* bytes, size_t length, const std::function<bool(const char*, size_t)>& take) {
    if (!inflating_) {
        for (size_t done = 0; done < length; done += PieceSize) {
            if (!take(bytes + done, std::min(PieceSize, length - done))) return false;
        }
        return true;
    }
    return inflateSome(bytes, length, take);
}

bool ContentDecoder::inflateSome(const char* bytes, size_t length,
                                 const std::function<bool(const char*, size_t)>& take) {
    // Whatever follows the end of the compressed stream is not the reply's.
    if (ended_) return true;
    std::vector<char> piece(PieceSize);
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes));
    stream_.avail_in = uInt(length);
    for (;;) {
        stream_.next_out = reinterpret_cast<Bytef*>(piece.data());
        stream_.avail_out = uInt(piece.size());
        const int result = inflate(&stream_, Z_NO_FLUSH);
        const size_t made = piece.size() - stream_.avail_out;
        if (result == Z_DATA_ERROR && untried_) {
            // Raw deflate, without the wrapping its name promises: again
            // from the start, without one.
            inflateEnd(&stream_);
            stream_ = z_stream{};
            untried_ = false;
            if (inflateInit2(&stream_, -15) != Z_OK) {
                inflating_ = false;
                malformed_ = true;
                return false;
            }
            return inflateSome(bytes, length, take);
        }
        if (result == Z_MEM_ERROR) throw std::bad_alloc();
        if (result != Z_OK && result != Z_STREAM_END && result != Z_BUF_ERROR) {
            malformed_ = true;
            return false;
        }
        if (made > 0) {
            untried_ = false;
            if (!take(piece.data(), made)) return false;
        }
        if (result == Z_STREAM_END) {
            ended_ = true;
            return true;
        }
        // Everything given is taken and nothing more is held back.
        if (made < piece.size() && (stream_.avail_in == 0 || result == Z_BUF_ERROR)) return true;
    }
}

}  // namespace ns::detail
