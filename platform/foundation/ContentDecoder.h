#pragma once
// The decoding of a reply's content coding (gzip, deflate), done here rather
// than by libcurl: what a small compressed reply inflates to reaches the
// client in pieces of bounded size, each taken (and weighed against the
// reply's bounds) before the next is made. libcurl inflates a whole read at
// once, and holds all of it, uncounted, while its transfer is paused.
//
// Internal to URL loading.

#include <zlib.h>

#include <cstddef>
#include <functional>
#include <string_view>

namespace ns::detail {

class ContentDecoder {
public:
    // What is asked for: the codings decoded here.
    static constexpr const char* AcceptEncoding = "gzip, deflate";
    // The most bytes handed on at once.
    static constexpr size_t PieceSize = 64 * 1024;

    ContentDecoder() = default;
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;
    ~ContentDecoder();

    // The reply's Content-Encoding field (empty for none). False for a
    // coding not decoded here.
    bool start(std::string_view encoding);
    bool started() const { return started_; }

    // Hands `length` bytes of the reply on to `take`, decoded. False when
    // `take` refuses a piece, or the bytes are not of their coding
    // (malformed() then tells).
    bool decode(const char* bytes, size_t length, const std::function<bool(const char*, size_t)>& take);
    bool malformed() const { return malformed_; }

private:
    bool inflateSome(const char* bytes, size_t length, const std::function<bool(const char*, size_t)>& take);

    bool started_ = false;
    bool inflating_ = false;
    // No output yet: a "deflate" reply may be raw deflate, without the
    // zlib wrapping the name promises.
    bool untried_ = true;
    bool ended_ = false;
    bool malformed_ = false;
    z_stream stream_{};
};

}  // namespace ns::detail
