#pragma once
// The decoding of a reply's content codings (gzip, deflate, stacked as the
// Content-Encoding fields list them, all fields read as one list), done
// here rather than by libcurl:
// what a small compressed reply inflates to reaches the client in pieces of
// bounded size, each taken (and weighed against the reply's bounds) before
// the next is made. libcurl inflates a whole read at once, and holds all of
// it, uncounted, while its transfer is paused.
//
// Internal to URL loading.

#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace ns::detail {

class ContentDecoder {
public:
    // What is asked for: the codings decoded here.
    static constexpr const char* AcceptEncoding = "gzip, deflate";
    // The most bytes handed on at once.
    static constexpr size_t PieceSize = 64 * 1024;
    // The most codings one reply may stack.
    static constexpr size_t MostCodings = 5;

    using Take = std::function<bool(const char*, size_t)>;

    ContentDecoder();
    ~ContentDecoder();
    ContentDecoder(const ContentDecoder&) = delete;
    ContentDecoder& operator=(const ContentDecoder&) = delete;

    // The reply's Content-Encoding fields joined with commas (empty for
    // none). False for a coding not decoded here, or more than MostCodings
    // of them in all. Throws std::bad_alloc when memory runs out.
    bool start(std::string_view encoding);
    bool started() const { return started_; }
    // While set, start() throws std::bad_alloc for any coding to decode, as
    // when zlib cannot have its memory.
    static void failStartsForTesting(bool fail);

    // Hands `length` bytes of the reply on to `take`, decoded: every member
    // of a gzip coding in turn; bytes after the last member that do not
    // begin another are not the reply's. False when
    // `take` refuses a piece, or the bytes are not of their coding
    // (malformed() then tells). Throws std::bad_alloc when memory runs out.
    bool decode(const char* bytes, size_t length, const Take& take);
    bool malformed() const { return malformed_; }
    // Whether what was decoded reached the end its codings carry: a gzip
    // member's length and CRC, a deflate stream's last block (and its
    // checksum when wrapped). A reply cut short anywhere before does not;
    // one that brought no bytes at all does. A gzip member whose deflate
    // data reached the end of its last block counts as ended when its
    // 8-byte trailer is missing or short and the bytes of it that came
    // agree with what was decoded: careless servers send such replies, and
    // their data is whole.
    bool complete() const;
    // How many bytes of a gzip trailer are missing (1 to 8) when complete()
    // counts a member without its whole trailer as ended; 0 otherwise.
    size_t trailerBytesMissing() const;
    static constexpr size_t GzipTrailerBytes = 8;

private:
    struct Stage;
    enum class Inflated { AllTaken, Ended, Stopped };
    // Undoes `stage` and every stage after it, in turn.
    bool decodeFrom(size_t stage, const char* bytes, size_t length, const Take& take);
    // Inflates `bytes` through `stage` until all are taken (AllTaken), its
    // stream ends (Ended: `bytes` and `length` then hold what follows), or
    // a piece is refused or the bytes are broken (Stopped).
    Inflated inflateSome(size_t stage, const char*& bytes, size_t& length, const Take& take);

    bool started_ = false;
    bool malformed_ = false;
    // The last coding applied comes first.
    std::vector<std::unique_ptr<Stage>> stages_;
};

}  // namespace ns::detail
